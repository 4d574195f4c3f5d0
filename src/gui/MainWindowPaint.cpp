// The window's painting: the screen picture of the audit state, with the
// processed photo in the result frame of the success screen, the measured
// line under the reason of a rejection, and while an audit runs the neutral
// initial screen with the waiting panel in its frame.
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
    // While an audit runs nothing speaks of the previous verdict.
    const quorvel::Verdict shown = m_auditRunning ? quorvel::Verdict::Initial : m_auditState;
    QImage picture = loadPicture(screenPicture(shown));
    if (shown == quorvel::Verdict::Passed) {
        picture = composeResultPanel(picture);
    }
    // A plain copy from the top-left corner, cut to the window; a picture
    // that could not be loaded paints nothing.
    if (!picture.isNull()) painter.drawImage(QPoint(0, 0), picture, QRect(QPoint(0, 0), size()));
    if (m_auditRunning) {
        paintWaitingPanel(painter);
    } else {
        paintMeasuredLine(painter, m_measuredText, measuredLineRect(picture));
    }

    if (isMinimized()) {
        // Where the platform paints a minimised window: the icon, centred.
        const int x = (width() - kIconSize + 1) / 2;
        const int y = (height() - kIconSize + 1) / 2;
        m_icon.paint(&painter, QRect(x, y, kIconSize, kIconSize));
    }
}

QImage MainWindow::composeResultPanel(const QImage& successPicture) const {
    return bgrToPicture(composeResultImage(pictureToBgr(successPicture), m_processedPhoto));
}

}  // namespace quorvel::gui
