// Moving the frameless window by its banner: the top strip left of the
// buttons, where a framed window would have its title bar.
#include <QMouseEvent>
#include <QWindow>

#include "gui/MainWindow.h"

namespace quorvel::gui {

namespace {

constexpr int kBannerHeight = 80;
constexpr int kBannerRight = 520;  // where the buttons' column starts

bool inBanner(const QPoint& pos) {
    return pos.y() >= 0 && pos.y() < kBannerHeight && pos.x() >= 0 && pos.x() < kBannerRight;
}

}  // namespace

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !inBanner(event->position().toPoint())) {
        QDialog::mousePressEvent(event);
        return;
    }
    event->accept();
    // The window manager moves the window where it can; elsewhere the window
    // follows the mouse itself.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragOffset || !event->buttons().testFlag(Qt::LeftButton)) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    event->accept();
    move(event->globalPosition().toPoint() - *m_dragOffset);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_dragOffset.reset();
    QDialog::mouseReleaseEvent(event);
}

}  // namespace quorvel::gui
