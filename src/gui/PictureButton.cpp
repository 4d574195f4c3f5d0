#include "gui/PictureButton.h"

#include <QKeyEvent>
#include <QPainter>

#include "gui/Pictures.h"

namespace quorvel::gui {

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void PictureButton::setPicture(const QString& path) {
    m_picture = loadPicture(path);
    m_sharpPicture = loadPicture(path, 2);
    update();
}

void PictureButton::setFadeWhenDisabled(bool fade) {
    m_fadeWhenDisabled = fade;
    update();
}

void PictureButton::setFocusHeld(bool held) {
    m_focusHeld = held;
    update();
}

QSize PictureButton::sizeHint() const {
    return m_picture.isNull() ? QSize(197, 48) : m_picture.size();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();

    // Centred: a larger picture loses the same margin on both sides.
    QPoint origin((area.width() - m_picture.width()) / 2, (area.height() - m_picture.height()) / 2);
    if (isDown()) origin += QPoint(1, 1);
    painter.setClipRect(area);
    drawPicture(painter, origin,
                painter.device()->devicePixelRatio() > 1 ? m_sharpPicture : m_picture);

    if (!isEnabled()) {
        if (m_fadeWhenDisabled) painter.fillRect(area, QColor(255, 255, 255, 120));
        return;
    }
    if (isDown()) {
        painter.fillRect(area, QColor(0, 0, 0, 40));
    } else if (underMouse()) {
        painter.fillRect(area, QColor(255, 255, 255, 28));
    }
    if (hasFocus() || (m_focusHeld && window()->hasFocus())) paintFocusRing(painter, area);
}

namespace {

// Fills a frame of the given width just inside rect.
void FillFrame(QPainter& painter, const QRect& rect, int width, const QColor& color) {
    painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), width), color);
    painter.fillRect(QRect(rect.left(), rect.bottom() - width + 1, rect.width(), width), color);
    painter.fillRect(QRect(rect.left(), rect.top(), width, rect.height()), color);
    painter.fillRect(QRect(rect.right() - width + 1, rect.top(), width, rect.height()), color);
}

}  // namespace

void PictureButton::paintFocusRing(QPainter& painter, const QRect& area) {
    // A white ring two pixels wide between two dark lines: it stands out on
    // the blue, green, grey and red bars alike.
    FillFrame(painter, area.adjusted(2, 2, -2, -2), 1, kFocusRingDark);
    FillFrame(painter, area.adjusted(3, 3, -3, -3), 2, kFocusRingLight);
    FillFrame(painter, area.adjusted(5, 5, -5, -5), 1, kFocusRingDark);
}

bool PictureButton::event(QEvent* event) {
    // Qt's buttons click a moment after their shortcut; this one at once, as
    // the keys of a menu would.
    if (event->type() == QEvent::Shortcut && isEnabled()) {
        setFocus(Qt::ShortcutFocusReason);
        click();
        return true;
    }
    return QAbstractButton::event(event);
}

void PictureButton::keyPressEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat() &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

}  // namespace quorvel::gui
