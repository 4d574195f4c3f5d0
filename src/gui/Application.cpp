#include "gui/Application.h"

#include <QFile>
#include <QLibraryInfo>
#include <QLocale>

#include "gui/MainWindow.h"
#include "gui/QtUserDialogs.h"

namespace quorvel::gui {

Application::Application(int& argc, char** argv, DialogsFactory makeDialogs)
    : m_makeDialogs(std::move(makeDialogs)) {
    // Sizes and positions are device pixels: the window is 800 x 600 pixels
    // on every display, as its pictures are.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING")) {
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    }
    m_application = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));

    // The texts Qt shows itself (file dialogs) in Simplified Chinese like the
    // rest of the window, where the translation is installed.
    if (m_qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&m_qtTexts);
    }
}

Application::~Application() = default;

bool Application::run(const std::filesystem::path& photo) {
    MainWindow window(m_makeDialogs ? m_makeDialogs() : nullptr);
    if (!window.startUp()) return false;
    // Its verdict arrives once the window's event loop runs.
    if (!photo.empty()) window.auditFile(photo);
    window.exec();
    return true;
}

void Application::showMessage(const QString& text) {
    std::unique_ptr<UserDialogs> dialogs = m_makeDialogs ? m_makeDialogs() : nullptr;
    if (!dialogs) dialogs = std::make_unique<QtUserDialogs>(nullptr);
    dialogs->showMessage(text);
}

std::filesystem::path Application::photoArgument(int argc, char** argv,
                                                 const std::filesystem::path& startDir) {
    if (argc < 2 || argv[1] == nullptr || argv[1][0] == '\0') return {};
    const std::filesystem::path given(argv[1]);
    return given.is_absolute() ? given : startDir / given;
}

}  // namespace quorvel::gui
