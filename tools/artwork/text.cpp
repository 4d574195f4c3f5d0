// Fonts and text layout.
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>
#include <cstdio>

#include "artwork.h"

namespace artwork {

namespace {

const char* const kFamily = "Noto Sans CJK SC";

// Debian's fonts-noto-cjk. Fontconfig normally finds them too; registering
// the files makes the generator independent of the font configuration.
const char* const kFontFiles[] = {
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc",
};

// In the CJK fonts the ideographic em box spans 0.88 em above the baseline
// to 0.12 em below it, so its middle lies 0.38 em above the baseline.
constexpr qreal kEmBoxMiddle = 0.38;

bool g_layoutError = false;

}  // namespace

bool loadFonts() {
    for (const char* file : kFontFiles) {
        if (QFontDatabase::addApplicationFont(QString::fromUtf8(file)) < 0) {
            std::fprintf(stderr, "note: could not register %s\n", file);
        }
    }
    return QFontDatabase::families().contains(QString::fromUtf8(kFamily));
}

QFont uiFont(int pixelSize, bool bold) {
    QFont font(QString::fromUtf8(kFamily));
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    font.setKerning(true);
    return font;
}

qreal textWidth(const QFont& font, const QString& text) {
    return QFontMetricsF(font).horizontalAdvance(text);
}

void drawLine(QPainter& painter, const QFont& font, const QString& text, QPointF anchor,
              const QColor& colour, Qt::Alignment align) {
    const qreal width = textWidth(font, text);
    qreal x = anchor.x();
    if (align & Qt::AlignHCenter) {
        x -= width / 2;
    } else if (align & Qt::AlignRight) {
        x -= width;
    }
    const qreal baseline = anchor.y() + kEmBoxMiddle * font.pixelSize();
    painter.save();
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QPointF(x, baseline), text);
    painter.restore();
}

void layoutError(const QString& message) {
    std::fprintf(stderr, "layout error: %s\n", qPrintable(message));
    g_layoutError = true;
}

bool hadLayoutError() { return g_layoutError; }

namespace {

// Joins the characters of a quoted name (‘打开照片’) with word joiners, so
// that a line never breaks inside the name of a button, and allows a break
// before the opening quote with a zero-width space (the line breaker would
// otherwise keep the quote glued to the character before it).
QString keepQuotesTogether(const QString& text) {
    const QChar open(0x2018);
    const QChar close(0x2019);
    const QChar joiner(0x2060);
    QString result;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == close) {
            quoted = false;
        }
        if (quoted) {
            result += joiner;
        }
        if (c == open) {
            result += QChar(0x200B);
        }
        result += c;
        if (c == open) {
            quoted = true;
        }
    }
    return result;
}

QList<Run> prepared(const QList<Run>& runs) {
    QList<Run> result;
    for (const Run& run : runs) {
        result.append({keepQuotesTogether(run.text), run.colour});
    }
    return result;
}

QString joined(const QList<Run>& runs) {
    QString text;
    for (const Run& run : runs) {
        text += run.text;
    }
    return text;
}

// Builds and lays out the text; line tops are multiples of `pitch`.
void layOut(QTextLayout& layout, const QFont& font, const QList<Run>& runs, qreal width,
            qreal pitch, Qt::Alignment align) {
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    option.setAlignment(align);
    layout.setTextOption(option);

    QList<QTextLayout::FormatRange> formats;
    int start = 0;
    for (const Run& run : runs) {
        QTextLayout::FormatRange range;
        range.start = start;
        range.length = static_cast<int>(run.text.size());
        range.format.setForeground(run.colour);
        formats.append(range);
        start += range.length;
    }
    layout.setFormats(formats);

    const qreal middle = kEmBoxMiddle * font.pixelSize();
    layout.beginLayout();
    for (int index = 0;; ++index) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        const qreal baseline = index * pitch + pitch / 2 + middle;
        line.setPosition(QPointF(0, baseline - line.ascent()));
        if (line.naturalTextWidth() > width + 0.5) {
            layoutError(QStringLiteral("text wider than %1 px: %2").arg(width).arg(layout.text()));
        }
    }
    layout.endLayout();
}

}  // namespace

Paragraph::Paragraph(const QFont& font, const QList<Run>& runs, qreal width, qreal linePitch,
                     Qt::Alignment align)
    : font_(font), runs_(prepared(runs)), width_(width), pitch_(linePitch), align_(align) {
    QTextLayout layout(joined(runs_), font_);
    layOut(layout, font_, runs_, width_, pitch_, align_);
    lines_ = layout.lineCount();
}

void Paragraph::draw(QPainter& painter, QPointF topLeft) const {
    QTextLayout layout(joined(runs_), font_);
    layOut(layout, font_, runs_, width_, pitch_, align_);
    layout.draw(&painter, topLeft);
}

}  // namespace artwork
