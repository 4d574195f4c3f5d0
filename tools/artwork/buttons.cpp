// The button pictures and the application icon.
#include <QLinearGradient>

#include "artwork.h"

namespace artwork {

namespace {

struct ButtonLook {
    QColor bar;
    QColor ink;
    QString text;
    void (*symbol)(QPainter&, const QRectF&, const QColor&);
};

ButtonLook lookOf(Button button) {
    switch (button) {
        case Button::Open:
            return {colour::kOpen, colour::kWhite, QStringLiteral("打开照片"), drawFolder};
        case Button::Save:
            return {colour::kSave, colour::kWhite, QStringLiteral("保存照片"), drawDiskette};
        case Button::Exit:
            return {colour::kExit, colour::kWhite, QStringLiteral("退出系统"), drawRunner};
        case Button::SaveDisabled:
            break;
    }
    return {colour::kDisabled, colour::kDisabledInk, QStringLiteral("保存照片"), drawDiskette};
}

// One 197 x 48 bar at `origin`: rounded, lit slightly from above, the symbol
// and the label centred together.
void paintBar(QPainter& p, QPoint origin, const ButtonLook& look) {
    const QRectF bar{QPointF(origin), QSizeF(kButtonSize)};
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QLinearGradient shade(bar.topLeft(), bar.bottomLeft());
    shade.setColorAt(0, look.bar.lighter(108));
    shade.setColorAt(1, look.bar.darker(104));
    p.setBrush(shade);
    p.drawRoundedRect(bar, 6, 6);
    p.restore();

    const QFont font = uiFont(20, true);
    const qreal symbol = 26;
    const qreal gap = 12;
    const qreal width = symbol + gap + textWidth(font, look.text);
    const qreal left = bar.left() + (bar.width() - width) / 2;
    const qreal middle = bar.top() + bar.height() / 2;
    look.symbol(p, QRectF(left, middle - symbol / 2, symbol, symbol), look.ink);
    drawLine(p, font, look.text, QPointF(left + symbol + gap, middle), look.ink, Qt::AlignLeft);
}

}  // namespace

QImage paintButton(Button button, int scale) {
    // The disabled picture is 2 px larger on every side: the button shows it
    // centred and cut to 197 x 48, so the bar sits at (2, 2) on the white of
    // the card behind the buttons.
    const bool disabled = button == Button::SaveDisabled;
    const QSize size = disabled ? kDisabledButtonSize : kButtonSize;
    const QPoint origin = disabled ? QPoint(2, 2) : QPoint(0, 0);

    QImage image(size * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(colour::kWhite);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBar(p, origin, lookOf(button));
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

QImage paintIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    // A hair of margin keeps the anti-aliased tile edge inside the image.
    const qreal margin = size >= 48 ? size / 32.0 : 0;
    drawMark(p, QRectF(margin, margin, size - 2 * margin, size - 2 * margin), false);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace artwork
