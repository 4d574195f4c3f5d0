#include "gui/CommandLine.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace quorvel::gui {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel [--desktop] [PHOTO]\n"
    "Opens the Quorvel window, which audits identity photos and saves an accepted one\n"
    "with its pass marker. A PHOTO given is audited as soon as the window is open.\n"
    "\n"
    "  --desktop    work in the per-user folder, as the desktop entry does\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n"
    "\n"
    "The window works in the current folder when it holds cfg.ini or the face\n"
    "cascade, otherwise in the per-user folder. It needs a graphical display.\n";

constexpr const char* kNoDisplay =
    "quorvel: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set, or the "
    "display cannot be reached); the window cannot open\n";

// Qt's platforms that draw without a display.
bool NeedsNoDisplay(const QByteArray& platform) {
    for (const char* name : {"offscreen", "minimal", "vnc", "linuxfb", "eglfs", "vkkhrdisplay"}) {
        if (platform.startsWith(name)) return true;
    }
    return false;
}

QByteArray ChosenPlatform(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "-platform" || arg == "--platform") return QByteArray(argv[i + 1]);
    }
    return qgetenv("QT_QPA_PLATFORM");
}

QList<QByteArray> g_heldMessages;
QtMessageHandler g_previousHandler = nullptr;

void HoldingHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    (void)context;
    g_heldMessages << text.toLocal8Bit();
}

}  // namespace

std::optional<int> HandleInfoOption(int argc, char** argv, std::ostream& out) {
    if (argc < 2 || argv[1] == nullptr) return std::nullopt;
    const std::string_view arg(argv[1]);
    if (arg == "--help" || arg == "-h") {
        out << kUsage;
    } else if (arg == "--version") {
        out << "quorvel " QUORVEL_VERSION "\n";
    } else {
        return std::nullopt;
    }
    out.flush();
    return 0;
}

bool DisplayAvailable(int argc, char** argv, std::ostream& err) {
    const QByteArray platform = ChosenPlatform(argc, argv);
    if (NeedsNoDisplay(platform)) return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    err << kNoDisplay;
    err.flush();
    return false;
}

PlatformStartGuard::PlatformStartGuard() {
    g_heldMessages.clear();
    g_previousHandler = qInstallMessageHandler(HoldingHandler);
}

PlatformStartGuard::~PlatformStartGuard() {
    qInstallMessageHandler(g_previousHandler);
    for (const QByteArray& message : g_heldMessages) {
        std::fprintf(stderr, "%s\n", message.constData());
    }
    g_heldMessages.clear();
}

}  // namespace quorvel::gui
