// quorvel-artwork: paints the window's pictures and writes them as PNG files.
//
//   quorvel-artwork OUTPUT_DIR
//
// Screens (OUTPUT_DIR/screens/<verdict>.png) and buttons (OUTPUT_DIR/buttons/
// <button>.png), each also at twice the size (<name>@2x.png), are written as
// 24-bit RGB, the icons as RGBA. The run fails when a font is missing or a
// text does not fit its place.
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <cstdio>

#include "artwork.h"

namespace {

using artwork::Button;
using artwork::Screen;

bool save(const QImage& image, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    QImageWriter writer(path, "png");
    // For PNG the quality selects the zlib level: 0 packs tightest.
    writer.setQuality(0);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    std::printf("%s  %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Painting needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);

    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "no such directory: %s\n", argv[1]);
        return 2;
    }
    if (!artwork::loadFonts()) {
        std::fprintf(stderr, "Noto Sans CJK SC not found: install fonts-noto-cjk\n");
        return 1;
    }

    struct ScreenFile {
        const char* name;
        Screen screen;
    };
    const ScreenFile screens[] = {
        {"passed", Screen::Passed},
        {"bad-format", Screen::BadFormat},
        {"too-small", Screen::TooSmall},
        {"bad-background", Screen::BadBackground},
        {"bad-proportion", Screen::BadProportion},
        {"no-face", Screen::NoFace},
        {"initial", Screen::Initial},
    };
    struct ButtonFile {
        const char* name;
        Button button;
    };
    const ButtonFile buttons[] = {
        {"open", Button::Open},
        {"save", Button::Save},
        {"exit", Button::Exit},
        {"save-disabled", Button::SaveDisabled},
    };

    bool ok = dir.mkpath(QStringLiteral("screens")) && dir.mkpath(QStringLiteral("buttons"));
    // Each screen and button at the window's size and at twice it, for
    // screens of two device pixels per window pixel (and for scaling down).
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        for (const ScreenFile& s : screens) {
            const QString name =
                QStringLiteral("screens/%1%2.png").arg(QLatin1String(s.name), suffix);
            ok = save(artwork::paintScreen(s.screen, scale), dir, name) && ok;
        }
        for (const ButtonFile& b : buttons) {
            const QString name =
                QStringLiteral("buttons/%1%2.png").arg(QLatin1String(b.name), suffix);
            ok = save(artwork::paintButton(b.button, scale), dir, name) && ok;
        }
    }
    for (int size : {16, 24, 32, 48, 256}) {
        ok = save(artwork::paintIcon(size), dir, QStringLiteral("icon128-%1.png").arg(size)) && ok;
    }
    if (artwork::hadLayoutError()) {
        return 1;
    }
    return ok ? 0 : 1;
}
