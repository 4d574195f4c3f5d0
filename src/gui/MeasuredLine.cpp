#include "gui/MeasuredLine.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "core/explain/Explanation.h"

namespace quorvel::gui {

QString measuredLine(const quorvel::AuditReport& report, const quorvel::Settings& settings) {
    // A pass says nothing here: the passed photo itself is on screen.
    if (report.verdict == quorvel::Verdict::Initial || report.verdict == quorvel::Verdict::Passed) {
        return {};
    }
    return QString::fromStdString(quorvel::ExplainAudit(report, settings).text);
}

QString savedLine(const QString& path) { return QStringLiteral("已保存：") + path; }

void paintMeasuredLine(QPainter& painter, const QString& text, const QColor& color) {
    if (text.isEmpty()) return;
    painter.save();
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(color);
    const QString shown =
        QFontMetrics(font).elidedText(text, Qt::ElideMiddle, kMeasuredLineRect.width());
    painter.drawText(kMeasuredLineRect, Qt::AlignCenter, shown);
    painter.restore();
}

}  // namespace quorvel::gui
