#pragma once

#include <QApplication>
#include <QString>
#include <QTranslator>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/UserDialogs.h"

namespace quorvel::gui {

// The application: owns Qt's application object and runs the main window.
class Application {
public:
    // Makes the dialogs the window asks the user through; by default Qt's.
    using DialogsFactory = std::function<std::unique_ptr<UserDialogs>()>;

    Application(int& argc, char** argv, DialogsFactory makeDialogs = {});
    ~Application();

    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs the start-up checks and then the main window until it closes;
    // a photo path, when given, is audited as soon as the window has started.
    // false when a check failed: its message has been shown and the window
    // never opened.
    bool run(const std::filesystem::path& photo = {});

    // The photo named on the command line (the first argument left after
    // Qt's own options), made absolute against startDir; empty without one.
    // The bytes of the name are kept: any file name the system accepts works.
    static std::filesystem::path photoArgument(int argc, char** argv,
                                               const std::filesystem::path& startDir);

    // Shows a message before any window is open (a start-up problem).
    void showMessage(const QString& text);

    // The window's size in window pixels.
    static constexpr QSize kWindowSize{800, 600};
    // Whether a screen of this geometry (window pixels) holds the window.
    static bool fitsWindow(const QRect& screen);

private:
    void startQt(int& argc, char** argv);

    std::unique_ptr<QApplication> m_application;
    // The arguments as given, for a second start of Qt in device pixels.
    std::vector<std::string> m_arguments;
    std::vector<char*> m_argPointers;
    int m_argCount = 0;
    QTranslator m_qtTexts;
    DialogsFactory m_makeDialogs;
};

}  // namespace quorvel::gui
