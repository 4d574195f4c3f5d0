#include "gui/Application.h"

#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <iostream>

#include "gui/CommandLine.h"
#include "gui/MainWindow.h"
#include "gui/QtUserDialogs.h"

namespace quorvel::gui {

Application::Application(int& argc, char** argv, DialogsFactory makeDialogs)
    : m_arguments(argv, argv + argc), m_makeDialogs(std::move(makeDialogs)) {
    // Sizes and positions are window pixels: at the desktop's scale (Qt's
    // high-DPI scaling) the window is 800 x 600 of the desktop's own pixels,
    // 1600 x 1200 device pixels at 200 %, painted from the @2x pictures.
    startQt(argc, argv);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && screen->devicePixelRatio() > 1 && !fitsWindow(screen->geometry())) {
        // Scaled, the window would not fit the screen: device pixels then.
        std::cerr << "quorvel: at the desktop's scale of "
                  << qRound(screen->devicePixelRatio() * 100) << " % the screen holds "
                  << screen->geometry().width() << " x " << screen->geometry().height()
                  << " window pixels, less than the window's 800 x 600; drawing it in device "
                     "pixels instead\n";
        m_application.reset();
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
        qunsetenv("QT_SCALE_FACTOR");
        qunsetenv("QT_SCREEN_SCALE_FACTORS");
        // Qt's own options were taken out of argv: start again from a copy.
        m_argPointers.clear();
        for (std::string& argument : m_arguments) m_argPointers.push_back(argument.data());
        m_argPointers.push_back(nullptr);
        m_argCount = static_cast<int>(m_arguments.size());
        startQt(m_argCount, m_argPointers.data());
    }
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

void Application::startQt(int& argc, char** argv) {
    const PlatformStartGuard guard;
    m_application = std::make_unique<QApplication>(argc, argv);
}

bool Application::fitsWindow(const QRect& screen) {
    return screen.width() >= kWindowSize.width() && screen.height() >= kWindowSize.height();
}

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
