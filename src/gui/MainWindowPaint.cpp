// The window's painting: the screen picture of the audit state, with the
// processed photo in the result frame of the success screen, and the waiting
// panel in that frame while an audit runs.
#include <QPainter>

#include "gui/MainWindow.h"
#include "gui/MeasuredLine.h"
#include "gui/Pictures.h"
#include "gui/ResultPanel.h"
#include "gui/WaitingPanel.h"

namespace quorvel::gui {

namespace {

constexpr int kIconSize = 32;

}  // namespace

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // From the top-left corner (the window cuts it to its size), at the
    // device's resolution; a picture that could not be loaded paints nothing.
    drawPicture(painter, QPoint(0, 0),
                loadPicture(screenPicture(m_auditState), painter.device()->devicePixelRatio()));
    // While an audit runs the frame is covered: no need to draw the photo into it.
    if (m_auditState == quorvel::Verdict::Passed && !m_auditRunning) {
        paintResultPhoto(painter, m_processedPhoto);
    }
    if (m_auditRunning) {
        paintWaitingPanel(painter);
    } else {
        paintMeasuredLine(painter, m_measuredText, m_measuredColor);
    }

    if (isMinimized()) {
        // Where the platform paints a minimised window: the icon, centred.
        const int x = (width() - kIconSize + 1) / 2;
        const int y = (height() - kIconSize + 1) / 2;
        m_icon.paint(&painter, QRect(x, y, kIconSize, kIconSize));
    }
}

}  // namespace quorvel::gui
