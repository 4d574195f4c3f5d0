#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"

class QPainter;

namespace quorvel::gui {

// What the audit measured against its limit, painted in the rejection card
// under the reason and a thin rule, at nearly the reason's size and wrapped
// to its column; dark grey, so that the red reason stays the headline.
inline const QColor kMeasuredLineColor(0x37, 0x47, 0x4F);
inline constexpr int kMeasuredLinePixelSize = 14;
// Where the line may go: the card's text column below the shortest reason,
// down to the bottom of the result frame.
inline constexpr QRect kMeasuredLineArea(294, 214, 152, 96);

// The line for a verdict: the sentence of the rule that decided, with what
// it measured against its limit; empty for Passed and Initial.
QString measuredLine(const quorvel::AuditReport& report);

// The place of the line on a rejection screen: from a gap below the reason
// text the screen picture holds to the bottom of the area.
QRect measuredLineRect(const QImage& screen);

// Draws the line wrapped in rect; a font a step smaller when it would not fit.
void paintMeasuredLine(QPainter& painter, const QString& text, const QRect& rect);

// After a pass, an advisory rule's finding (the photo may not be sharp
// enough): one line under the result panel, left-aligned with it, above the
// instructions' rule and clear of the saved line in the card above; dark
// amber, so that it reads as advice and not as a refusal.
inline constexpr QRect kAdviceLineRect(274, 347, 496, 17);
inline const QColor kAdviceLineColor(0x8A, 0x4B, 0x00);
inline constexpr int kAdviceLinePixelSize = 13;

// The advice line for a verdict: the sentence of the advisory rule's
// finding; empty unless the photo passed with one.
QString adviceLine(const quorvel::AuditReport& report);

// Draws the advice in its line, a font a step smaller (down to 11 pixels)
// when it would not fit, then shortened at its end.
void paintAdviceLine(QPainter& painter, const QString& text);

// The line under the buttons after a save, in the white card below Exit.
inline constexpr QRect kSavedLineRect(504, 325, 229, 19);
inline const QColor kSavedLineColor(0x2E, 0x7D, 0x32);
inline constexpr int kSavedLinePixelSize = 13;

inline const QString kSavedPrefix = QStringLiteral("已保存：");

// The line that says verdicts do not reach the activity log: at the top of
// the buttons' card, above Open, in red.
inline constexpr QRect kLogLineRect(504, 79, 229, 19);
inline const QColor kLogLineColor(0xC6, 0x28, 0x28);

// Where a saved photo went, as the user can find it: "已保存：" with the
// folder's name and the file's name (not the whole path).
struct SavedLine {
    QString folderName;  // empty for the root folder
    QString fileName;
    QString folder;  // the folder's absolute path

    QString text() const { return kSavedPrefix + folderName + QLatin1Char('/') + fileName; }
};
SavedLine savedLine(const QString& path);

}  // namespace quorvel::gui
