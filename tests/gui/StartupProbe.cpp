// Runs the application as the window executable does, with dialogs that
// print instead of asking, and closes the window as soon as it is shown.
// Output, one line each: "message: <text>" for every message box,
// "shown: x y width height" when the window appears, then "closed" when the
// window has run or "not started" when a start-up check failed.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <cstdio>

#include "gui/Application.h"

namespace {

class PrintingDialogs : public UserDialogs {
public:
    void showMessage(const QString& text) override {
        std::printf("message: %s\n", text.toUtf8().constData());
        std::fflush(stdout);
    }
    std::optional<QString> openPath() override { return std::nullopt; }
    std::optional<QString> savePath() override { return std::nullopt; }
};

}  // namespace

int main(int argc, char* argv[]) {
    Application app(argc, argv, [] { return std::make_unique<PrintingDialogs>(); });
    QTimer::singleShot(0, [] {
        auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (window == nullptr) return;
        const QRect g = window->geometry();
        std::printf("shown: %d %d %d %d\n", g.x(), g.y(), g.width(), g.height());
        std::fflush(stdout);
        window->reject();
    });
    std::printf(app.run() ? "closed\n" : "not started\n");
    return 0;
}
