#include "gui/MeasuredLine.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "core/explain/Explanation.h"

namespace quorvel::gui {

namespace {

// The reason's text column in the card, and the gap left under it.
constexpr int kReasonLeft = 290;
constexpr int kReasonRight = 450;
constexpr int kReasonTop = 140;
constexpr int kGapBelowReason = 14;
// A rule like the one under "原因：" separates the measurement from the reason.
const QColor kRuleColor(210, 224, 238);
constexpr int kRuleAboveLine = 6;

bool IsInk(QRgb pixel) { return qRed(pixel) + qGreen(pixel) + qBlue(pixel) < 3 * 255 - 60; }

QFont LineFont(int pixelSize) {
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace

QString measuredLine(const quorvel::AuditReport& report) {
    // A pass says nothing here: the passed photo itself is on screen.
    if (report.verdict == quorvel::Verdict::Initial || report.verdict == quorvel::Verdict::Passed) {
        return {};
    }
    return QString::fromStdString(quorvel::ExplainAudit(report).text);
}

QString adviceLine(const quorvel::AuditReport& report) {
    if (report.verdict != quorvel::Verdict::Passed || !report.advice) return {};
    return QString::fromStdString(quorvel::ExplainDecision(*report.advice).text);
}

void paintAdviceLine(QPainter& painter, const QString& text) {
    if (text.isEmpty()) return;
    const QRect& rect = kAdviceLineRect;
    QFont font = LineFont(kAdviceLinePixelSize);
    for (int size = kAdviceLinePixelSize - 1;
         size >= 11 && QFontMetrics(font).horizontalAdvance(text) > rect.width(); --size) {
        font = LineFont(size);
    }
    painter.save();
    painter.setFont(font);
    painter.setPen(kAdviceLineColor);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width()));
    painter.restore();
}

QRect measuredLineRect(const QImage& screen) {
    int lastInk = kMeasuredLineArea.top() - kGapBelowReason - 1;
    for (int y = kReasonTop; y <= kMeasuredLineArea.bottom() && y < screen.height(); ++y) {
        for (int x = kReasonLeft; x <= kReasonRight && x < screen.width(); ++x) {
            if (IsInk(screen.pixel(x, y))) {
                lastInk = y;
                break;
            }
        }
    }
    const int top = std::max(kMeasuredLineArea.top(), lastInk + 1 + kGapBelowReason);
    return QRect(QPoint(kMeasuredLineArea.left(), top), kMeasuredLineArea.bottomRight());
}

void paintMeasuredLine(QPainter& painter, const QString& text, const QRect& rect) {
    if (text.isEmpty() || rect.isEmpty()) return;
    constexpr int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    QFont font = LineFont(kMeasuredLinePixelSize);
    for (int size = kMeasuredLinePixelSize - 1; size >= 11; --size) {
        if (QFontMetrics(font).boundingRect(rect, flags, text).height() <= rect.height()) break;
        font = LineFont(size);
    }
    painter.save();
    painter.fillRect(QRect(rect.left(), rect.top() - kRuleAboveLine, rect.width() - 4, 1),
                     kRuleColor);
    painter.setFont(font);
    painter.setPen(kMeasuredLineColor);
    painter.drawText(rect, flags, text);
    painter.restore();
}

SavedLine savedLine(const QString& path) {
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    return {QDir(folder).dirName(), file.fileName(), folder};
}

}  // namespace quorvel::gui
