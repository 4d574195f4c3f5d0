#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"

class QPainter;

namespace quorvel::gui {

// One short line under the buttons that says what the audit measured against
// its limit, or where a saved photo went. It lies in the white card below the
// buttons, where no screen picture has text.
inline constexpr QRect kMeasuredLineRect(504, 325, 229, 19);
inline const QColor kMeasuredLineRejectColor(0xC6, 0x28, 0x28);
inline const QColor kMeasuredLineSavedColor(0x2E, 0x7D, 0x32);

// The line for a verdict from the audit's trace; empty for Passed and Initial.
QString measuredLine(const quorvel::AuditReport& report, const quorvel::Settings& settings);

// The line after a successful save, naming the file.
QString savedLine(const QString& path);

// Draws the line in kMeasuredLineRect, shortened in the middle when too long.
void paintMeasuredLine(QPainter& painter, const QString& text, const QColor& color);

}  // namespace quorvel::gui
