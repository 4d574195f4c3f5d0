// Runs the application as the window executable does, with dialogs that
// print instead of asking, and closes the window as soon as it is shown.
// Output, one line each: "message: <text>" for every message box,
// "detail: <text>" beneath a message that has one, "shown: x y width height"
// and "ratio: <device pixels per window pixel>" when the window appears, "verdict: <n>" when a
// photo named on the command line has been audited (the window closes after
// it), then "closed" when the window has run or "not started" when a start-up
// check failed.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "gui/Application.h"
#include "gui/MainWindow.h"
#include "gui/UserFolder.h"

using namespace quorvel::gui;

namespace {

class PrintingDialogs : public UserDialogs {
public:
    void showMessage(const QString& text, const QString& detail) override {
        std::printf("message: %s\n", text.toUtf8().constData());
        if (!detail.isEmpty()) std::printf("detail: %s\n", detail.toUtf8().constData());
        std::fflush(stdout);
    }
    bool confirm(const QString&, const QString&, const QString&) override { return false; }
    std::optional<QString> openPath(const QString&) override { return std::nullopt; }
    std::optional<QString> savePath(const QString&) override { return std::nullopt; }
    bool showFolder(const QString&) override { return false; }
};

}  // namespace

int main(int argc, char* argv[]) {
    const std::filesystem::path startDir = std::filesystem::current_path();
    const quorvel::Result<void> entered =
        ChooseWorkingFolder(argc, argv, InstalledUserFolderSources(), std::cerr);
    Application app(argc, argv, [] { return std::make_unique<PrintingDialogs>(); });
    if (!entered) {
        app.showMessage(QString::fromStdString(entered.error().message));
        std::printf("not started\n");
        return 0;
    }
    QTimer::singleShot(0, [] {
        auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (window == nullptr) return;
        const QRect g = window->geometry();
        std::printf("shown: %d %d %d %d\n", g.x(), g.y(), g.width(), g.height());
        std::printf("ratio: %g\n", window->devicePixelRatioF());
        std::fflush(stdout);
        auto* mainWindow = qobject_cast<MainWindow*>(window);
        if (mainWindow == nullptr || !mainWindow->isAuditRunning()) {
            window->reject();
            return;
        }
        QObject::connect(mainWindow, &MainWindow::auditFinished,
                         [mainWindow](quorvel::Verdict verdict) {
                             std::printf("verdict: %d\n", int(verdict));
                             std::fflush(stdout);
                             mainWindow->reject();
                         });
    });
    const std::filesystem::path photo = Application::photoArgument(argc, argv, startDir);
    std::printf(app.run(photo) ? "closed\n" : "not started\n");
    return 0;
}
