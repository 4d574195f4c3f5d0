#pragma once

#include <QColor>
#include <QString>

class QPainter;

namespace quorvel::gui {

// The neutral panel the result frame shows while an audit runs, in place of
// the previous verdict's content there.
inline const QString kWaitingText = QStringLiteral("正在审核…");
inline const QColor kWaitingPanelColor(0xF0, 0xF0, 0xF0);
inline const QColor kWaitingTextColor(0x40, 0x40, 0x40);

// Fills the result frame with the panel colour and centres the text in it.
void paintWaitingPanel(QPainter& painter);

}  // namespace quorvel::gui
