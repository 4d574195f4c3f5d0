// The window's painting: the screen picture of the audit state, with the
// processed photo in the result frame of the success screen and any advice
// under it, the measured
// line under the reason of a rejection, and while an audit runs the neutral
// initial screen with the waiting panel in its frame.
#include <QPainter>

#include "gui/MainWindow.h"
#include "gui/MeasuredLine.h"
#include "gui/Pictures.h"
#include "gui/ResultPanel.h"
#include "gui/ScreenTexts.h"
#include "gui/WaitingPanel.h"

namespace quorvel::gui {

namespace {

constexpr int kIconSize = 32;

}  // namespace

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // While an audit runs nothing speaks of the previous verdict.
    const quorvel::Verdict shown = m_auditRunning ? quorvel::Verdict::Initial : m_auditState;
    // From the top-left corner (the window cuts it to its size), at the
    // device's resolution; a picture that could not be loaded paints nothing.
    drawPicture(painter, QPoint(0, 0),
                loadPicture(screenPicture(shown), painter.device()->devicePixelRatio()));
    if (shown == quorvel::Verdict::Passed) {
        paintResultPhoto(painter, m_processedPhoto);
        paintAdviceLine(painter, m_adviceText);
    }
    if (m_auditRunning) {
        paintWaitingPanel(painter);
    } else {
        // A photo this tool already passed says so under the measurement.
        QString text = m_measuredText;
        if (m_alreadyProcessed && shown != quorvel::Verdict::Passed &&
            shown != quorvel::Verdict::Initial) {
            text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + kAlreadyProcessedNote;
        }
        paintMeasuredLine(painter, text, m_measuredRect);
    }

    if (isMinimized()) {
        // Where the platform paints a minimised window: the icon, centred.
        const int x = (width() - kIconSize + 1) / 2;
        const int y = (height() - kIconSize + 1) / 2;
        m_icon.paint(&painter, QRect(x, y, kIconSize, kIconSize));
    }
}

}  // namespace quorvel::gui
