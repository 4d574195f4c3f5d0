#include "gui/MeasuredLine.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "core/audit/PhotoRules.h"

using quorvel::AuditReport;
using quorvel::AuditTrace;
using quorvel::BackgroundColor;
using quorvel::Verdict;

namespace {

QString percent(double share) { return QString::number(share * 100, 'f', 1) + QStringLiteral("%"); }

QString colourName(BackgroundColor colour) {
    switch (colour) {
        case BackgroundColor::White:
            return QStringLiteral("白色");
        case BackgroundColor::Red:
            return QStringLiteral("红色");
        case BackgroundColor::Blue:
            return QStringLiteral("蓝色");
        case BackgroundColor::Any:
            break;
    }
    return QStringLiteral("红、蓝、白色");
}

QString tooSmallLine(const AuditTrace& trace, const quorvel::Settings& settings) {
    if (trace.fileLength && *trace.fileLength < quorvel::kMinFileLength) {
        return QStringLiteral("文件 %1 KB，要求至少 30 KB")
            .arg(QString::number(static_cast<double>(*trace.fileLength) / 1024, 'f', 1));
    }
    const cv::Size minimum = quorvel::MinimumPhotoSize(settings.size);
    const cv::Size size = trace.photoSize.value_or(cv::Size());
    return QStringLiteral("照片 %1×%2 像素，要求至少 %3×%4")
        .arg(size.width)
        .arg(size.height)
        .arg(minimum.width)
        .arg(minimum.height);
}

QString backgroundLine(const AuditTrace& trace, const quorvel::Settings& settings) {
    if (!trace.background || !trace.background->backgroundClass) {
        return QStringLiteral("背景颜色不是红、蓝、白色之一");
    }
    const quorvel::BackgroundTrace& background = *trace.background;
    const QString found = colourName(*background.backgroundClass);
    if (!background.fills) {
        const int setting = static_cast<int>(settings.color);
        if (setting < 0 || setting > 3) {
            return QStringLiteral("背景为%1，颜色设置 %2 不接受任何颜色").arg(found).arg(setting);
        }
        return QStringLiteral("背景为%1，设置只接受%2").arg(found, colourName(settings.color));
    }
    return QStringLiteral("背景%1覆盖 %2，要求超过 10%")
        .arg(found, percent(background.fills->coverage));
}

QString noFaceLine(const AuditTrace& trace) {
    const std::size_t count = trace.faces ? trace.faces->size() : 0;
    if (count == 0) return QStringLiteral("未找到人脸");
    return QStringLiteral("找到 %1 张人脸，要求 1 或 2 张").arg(count);
}

QString proportionLine(const AuditReport& report, const AuditTrace& trace,
                       const quorvel::Settings& settings) {
    const int mode = static_cast<int>(settings.size);
    if (mode != 1 && mode != 2) return QStringLiteral("尺寸设置 %1 无效，应为 1 或 2").arg(mode);
    if (report.face && trace.photoSize && trace.photoSize->width > 0) {
        const double share = static_cast<double>(report.face->width) / trace.photoSize->width;
        if (share < 0.2 || share > 0.8) {
            return QStringLiteral("人脸宽度占照片 %1，要求 20%–80%").arg(percent(share));
        }
    }
    if (trace.crop && !trace.crop->headTopRow) return QStringLiteral("找不到头顶");
    return QStringLiteral("没有能放进照片的裁剪框");
}

}  // namespace

QString measuredLine(const AuditReport& report, const quorvel::Settings& settings) {
    const AuditTrace trace = report.trace.value_or(AuditTrace{});
    switch (report.verdict) {
        case Verdict::Initial:
        case Verdict::Passed:
            return {};
        case Verdict::TooSmall:
            return tooSmallLine(trace, settings);
        case Verdict::BadBackground:
            return backgroundLine(trace, settings);
        case Verdict::NoFace:
            return noFaceLine(trace);
        case Verdict::BadProportion:
            return proportionLine(report, trace, settings);
        case Verdict::BadFormat:
            if (report.error) return QStringLiteral("照片无法处理");
            return QStringLiteral("文件无法读取或不是图片");
    }
    return {};
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
