// quorvel-artwork: paints the window's pictures and writes them as PNG files.
//
//   quorvel-artwork OUTPUT_DIR
//
// Screens and buttons are written as 24-bit RGB, the icons as RGBA. The run
// fails when a font is missing or a text does not fit its place.
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
        int id;
        Screen screen;
    };
    const ScreenFile screens[] = {
        {131, Screen::Passed},        {132, Screen::BadFormat},     {133, Screen::TooSmall},
        {134, Screen::BadBackground}, {135, Screen::BadProportion}, {136, Screen::NoFace},
        {137, Screen::Initial},
    };
    struct ButtonFile {
        int id;
        Button button;
    };
    const ButtonFile buttons[] = {
        {138, Button::Open},
        {139, Button::Save},
        {140, Button::Exit},
        {141, Button::SaveDisabled},
    };

    bool ok = true;
    for (const ScreenFile& s : screens) {
        ok = save(artwork::paintScreen(s.screen), dir, QStringLiteral("bmp%1.png").arg(s.id)) && ok;
    }
    for (const ButtonFile& b : buttons) {
        ok = save(artwork::paintButton(b.button), dir, QStringLiteral("bmp%1.png").arg(b.id)) && ok;
    }
    for (int size : {16, 24, 32, 48, 256}) {
        ok = save(artwork::paintIcon(size), dir, QStringLiteral("icon128-%1.png").arg(size)) && ok;
    }
    if (artwork::hadLayoutError()) {
        return 1;
    }
    return ok ? 0 : 1;
}
