#pragma once

#include <QApplication>
#include <QTranslator>
#include <functional>
#include <memory>

#include "gui/UserDialogs.h"

// The application: owns Qt's application object and runs the main window.
class CQuorvelApp {
public:
    // Makes the dialogs the window asks the user through; by default Qt's.
    using DialogsFactory = std::function<std::unique_ptr<IUserDialogs>()>;

    CQuorvelApp(int& argc, char** argv, DialogsFactory makeDialogs = {});
    virtual ~CQuorvelApp();

    CQuorvelApp(const CQuorvelApp&) = delete;
    CQuorvelApp& operator=(const CQuorvelApp&) = delete;

    // Runs the main window modally and returns false once it has closed: the
    // application then ends. A failed start-up check ends the process inside.
    virtual bool InitInstance();

private:
    std::unique_ptr<QApplication> m_pApplication;
    QTranslator m_qtTexts;
    DialogsFactory m_makeDialogs;
};
