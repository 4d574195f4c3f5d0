#pragma once

#include <QApplication>
#include <QTranslator>
#include <functional>
#include <memory>

#include "gui/UserDialogs.h"

// The application: owns Qt's application object and runs the main window.
class Application {
public:
    // Makes the dialogs the window asks the user through; by default Qt's.
    using DialogsFactory = std::function<std::unique_ptr<UserDialogs>()>;

    Application(int& argc, char** argv, DialogsFactory makeDialogs = {});
    ~Application();

    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs the start-up checks and then the main window until it closes.
    // false when a check failed: its message has been shown and the window
    // never opened.
    bool run();

    // Shows a message before any window is open (a start-up problem).
    void showMessage(const QString& text);

private:
    std::unique_ptr<QApplication> m_application;
    QTranslator m_qtTexts;
    DialogsFactory m_makeDialogs;
};
