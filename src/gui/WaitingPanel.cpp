#include "gui/WaitingPanel.h"

#include <QFont>
#include <QPainter>

#include "gui/ResultPanel.h"

namespace quorvel::gui {

void paintWaitingPanel(QPainter& painter) {
    const QRect frame(kResultFrame.x, kResultFrame.y, kResultFrame.width, kResultFrame.height);
    painter.save();
    painter.fillRect(frame, kWaitingPanelColor);
    QFont font = painter.font();
    font.setPixelSize(18);
    painter.setFont(font);
    painter.setPen(kWaitingTextColor);
    painter.drawText(frame, Qt::AlignCenter, kWaitingText);
    painter.restore();
}

}  // namespace quorvel::gui
