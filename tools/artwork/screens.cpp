// The seven 800 x 600 screens. They share one layout and differ only in the
// result panel: its caption and what its white frame shows.
#include <QPainterPath>

#include "artwork.h"

namespace artwork {

namespace {

// ---- Fixed geometry (window client pixels) --------------------------------

constexpr int kBannerBottom = 66;  // last row of the banner
constexpr int kFooterTop = 565;    // first row of the footer bar

// Both panels: a blue frame 6 px wide around a 178 x 229 area, over a
// caption bar that continues the frame down to row 345.
constexpr int kPanelTop = 77;
constexpr int kPanelHeight = 269;
constexpr int kPanelWidth = 190;
constexpr int kFrameWidth = 6;
constexpr int kCaptionTop = 312;
constexpr int kSampleLeft = 65;
constexpr int kResultLeft = 274;

// The result frame: white, with a one-pixel light-blue border on columns 280
// and 457 and rows 83 and 311. The window draws the accepted photo into
// (280, 83, 177, 228), covering the left and top border lines.
const QRect kResultFrame{280, 83, 178, 229};

// The three buttons (separate widgets) cover 520..716 x 100..323; the card
// behind them is white there and a little beyond.
const QRect kButtonArea{520, 100, 197, 224};
const QRect kButtonCard{499, 77, 239, 269};

constexpr int kRuleRow = 365;
constexpr int kTextLeft = 30;
constexpr int kTextRight = 770;
constexpr int kBandPadding = 6;  // around text on a darker band

// ---- Texts -------------------------------------------------------------------

const QString kTitle = QStringLiteral("照片审核处理工具");
const QString kTagline = QStringLiteral("标准证件照 · 自动审核与处理");
const QString kSampleCaption = QStringLiteral("标准证件照样例");
const QString kOwnership = QStringLiteral("Quorvel 照片审核工具 © 2026 Quorvel 项目组");

const QString kCaptionPassed = QStringLiteral("符合要求");
const QString kCaptionFailed = QStringLiteral("不符合要求");
const QString kCaptionInitial = QStringLiteral("处理结果提示");
const QString kPlaceholder = QStringLiteral("照片处理结果显示区域");
const QString kReasonHeading = QStringLiteral("原因：");

QString reasonText(Screen screen) {
    switch (screen) {
        case Screen::BadFormat:
            return QStringLiteral(
                "打开照片文件类型不是JPG或者JPEG格式，请选择JPG或者JPEG格式的文件");
        case Screen::TooSmall:
            return QStringLiteral(
                "照片文件小于30K或者像素数低，请选择大小和像素符合要求的照片文件");
        case Screen::BadBackground:
            return QStringLiteral("打开照片文件背景不符合要求，请选择指定单色背景照片文件");
        case Screen::BadProportion:
            return QStringLiteral("打开照片文件头部比例不符合要求，请选择头部比例适当的照片文件");
        case Screen::NoFace:
            return QStringLiteral("打开照片文件不符合要求，请选择正面人像标准证件照片文件");
        case Screen::Passed:
        case Screen::Initial:
            break;
    }
    return {};
}

const QString kHelpHeading = QStringLiteral("工具使用说明：");

// The four instruction items; red runs carry what the user must not miss.
QList<QList<Run>> helpItems() {
    const QColor& t = colour::kTextSoft;
    const QColor& red = colour::kRed;
    return {
        {{QStringLiteral("做为网报系统的辅助工具，"), t},
         {QStringLiteral("报名系统只识别利用此工具处理通过后的照片。"), red}},
        {{QStringLiteral("源照片文件要求："), red},
         {QStringLiteral("①必须为指定单色背景（红、蓝或白），正面、免冠近期 "
                         "1寸或2寸证件照；②JPG或JPEG格式；③字节大于30KB；④宽高像素大于220X300；"
                         "⑤照片清晰，禁止缩放后使用"),
          t}},
        {{QStringLiteral("操作说明："), red},
         {QStringLiteral("点击‘打开照片’按钮选择源照片文件，本工具会对源照片进行自动处理，"
                         "提示符合要求的点击‘保存照片’按钮后退出，然后进行后续报名操作；"
                         "不符合要求的，请按提示原因"),
          t},
         {QStringLiteral("重新选择符合源照片文件要求"), red},
         {QStringLiteral("的照片，直至提示符合要求。"), t}},
        {{QStringLiteral("温馨声明："), red},
         {QStringLiteral("如因照片质量影响报名、笔试、面试及成绩证书的，由考生本人负责。"), t}},
    };
}

// ---- Parts of the screen ---------------------------------------------------

// A rounded band of the darker blue behind a line of white text centred on
// `centre`: white on the banner's blue is too faint for small text.
void paintTextBand(QPainter& p, const QFont& font, const QString& text, QPointF centre) {
    const qreal width = textWidth(font, text) + 2 * kBandPadding;
    const qreal height = font.pixelSize() + 2 * kBandPadding;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::kBrandDark);
    p.drawRoundedRect(QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height),
                      height / 2, height / 2);
    p.restore();
}

void paintBanner(QPainter& p) {
    const QRect banner(0, 0, 800, kBannerBottom + 1);
    p.fillRect(banner, colour::kBrand);

    // Two faint discs at the right give the flat bar a little depth.
    p.save();
    p.setClipRect(banner);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QColor glow = colour::kWhite;
    glow.setAlphaF(0.06);
    p.setBrush(glow);
    p.drawEllipse(QPointF(720, -40), 150, 150);
    p.drawEllipse(QPointF(800, 60), 90, 90);
    p.restore();

    drawMark(p, QRectF(26, 11, 45, 45), true);
    drawLine(p, uiFont(30, true), kTitle, QPointF(86, 33.5), colour::kWhite, Qt::AlignLeft);

    // The tagline on a darker band, where white reaches 5.9:1.
    const QFont taglineFont = uiFont(14);
    paintTextBand(p, taglineFont, kTagline,
                  QPointF(kTextRight - textWidth(taglineFont, kTagline) / 2, 34));
    drawLine(p, taglineFont, kTagline, QPointF(kTextRight, 34), colour::kWhite, Qt::AlignRight);
}

void paintFooter(QPainter& p) {
    p.fillRect(QRect(0, kFooterTop, 800, 600 - kFooterTop), colour::kBrand);
    // Centred a little above the bar's middle (the window may cut the
    // picture's last rows), on a darker band like the tagline.
    const QFont font = uiFont(13);
    paintTextBand(p, font, kOwnership, QPointF(400, 580.5));
    drawLine(p, font, kOwnership, QPointF(400, 580.5), colour::kWhite);
}

// Caption text with an optional status mark in front, centred in the bar.
enum class Mark { None, Pass, Fail };

void paintCaption(QPainter& p, int panelLeft, const QString& text, Mark mark) {
    const QFont font = uiFont(16, true);
    const qreal centreY = (kCaptionTop + kPanelTop + kPanelHeight) / 2.0;
    const qreal radius = 8.5;
    const qreal gap = 7;
    const qreal width = textWidth(font, text) + (mark == Mark::None ? 0 : 2 * radius + gap);
    const qreal left = panelLeft + (kPanelWidth - width) / 2;
    qreal x = left;
    if (mark != Mark::None) {
        // A white ring keeps the coloured disc apart from the blue bar.
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kWhite);
        p.drawEllipse(QPointF(x + radius, centreY), radius + 1.5, radius + 1.5);
        p.restore();
        if (mark == Mark::Pass) {
            drawPassMark(p, QPointF(x + radius, centreY), radius);
        } else {
            drawFailMark(p, QPointF(x + radius, centreY), radius);
        }
        x += 2 * radius + gap;
    }
    drawLine(p, font, text, QPointF(x, centreY), colour::kWhite, Qt::AlignLeft);
}

// Blue frame with rounded outer corners and a caption bar; returns the
// inner area.
QRect paintPanelFrame(QPainter& p, int left) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::kBrand);
    p.drawRoundedRect(QRectF(left, kPanelTop, kPanelWidth, kPanelHeight), 5, 5);
    p.restore();
    // The caption bar, one shade darker, starts a few rows below the white
    // area and keeps the rounded bottom corners.
    const qreal barTop = kCaptionTop + 4;
    const qreal barHeight = kPanelTop + kPanelHeight - barTop;
    QPainterPath bar;
    bar.addRoundedRect(QRectF(left, barTop, kPanelWidth, barHeight), 5, 5);
    bar.addRect(QRectF(left, barTop, kPanelWidth, 8));
    bar.setFillRule(Qt::WindingFill);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::kBrandDark);
    p.drawPath(bar.simplified());
    p.restore();
    return QRect(left + kFrameWidth, kPanelTop + kFrameWidth, kPanelWidth - 2 * kFrameWidth,
                 kCaptionTop - kPanelTop - kFrameWidth);
}

void paintSamplePanel(QPainter& p) {
    const QRect inner = paintPanelFrame(p, kSampleLeft);
    drawSamplePortrait(p, inner);
    paintCaption(p, kSampleLeft, kSampleCaption, Mark::None);
}

void paintResultFrame(QPainter& p) {
    const QRect& f = kResultFrame;
    p.fillRect(f, colour::kWhite);
    p.fillRect(QRect(f.left(), f.top(), f.width(), 1), colour::kFrameLine);
    p.fillRect(QRect(f.left(), f.bottom(), f.width(), 1), colour::kFrameLine);
    p.fillRect(QRect(f.left(), f.top(), 1, f.height()), colour::kFrameLine);
    p.fillRect(QRect(f.right(), f.top(), 1, f.height()), colour::kFrameLine);
}

void paintInitialContent(QPainter& p) {
    const QRectF f = kResultFrame;
    const qreal icon = 52;
    const QFont font = uiFont(15);
    const qreal blockHeight = icon + 14 + 20;
    const qreal top = f.top() + (f.height() - blockHeight) / 2;
    const qreal cx = f.left() + f.width() / 2;
    drawPicturePlaceholder(p, QRectF(cx - icon / 2, top, icon, icon), colour::kFrameLine);
    if (textWidth(font, kPlaceholder) > f.width() - 16) {
        layoutError(QStringLiteral("placeholder text too wide"));
    }
    drawLine(p, font, kPlaceholder, QPointF(cx, top + icon + 14 + 10), colour::kMuted);
}

void paintReasonContent(QPainter& p, const QString& reason) {
    const QRect& f = kResultFrame;
    const int padding = 14;
    const qreal left = f.left() + padding;
    const qreal width = f.width() - 2 * padding;
    qreal y = f.top() + 16;

    drawLine(p, uiFont(17, true), kReasonHeading, QPointF(left, y + 12), QColor(17, 17, 17),
             Qt::AlignLeft);
    y += 24 + 8;
    p.fillRect(QRectF(left, y, width, 1), colour::kCardLine);
    y += 10;

    const Paragraph text(uiFont(16), {{reason, colour::kRed}}, width, 26);
    text.draw(p, QPointF(left, y));
    if (y + text.height() > f.bottom() - 8) {
        layoutError(QStringLiteral("reason does not fit: %1").arg(reason));
    }
}

void paintResultPanel(QPainter& p, Screen screen) {
    paintPanelFrame(p, kResultLeft);
    paintResultFrame(p);
    switch (screen) {
        case Screen::Passed:
            paintCaption(p, kResultLeft, kCaptionPassed, Mark::Pass);
            break;
        case Screen::Initial:
            paintInitialContent(p);
            paintCaption(p, kResultLeft, kCaptionInitial, Mark::None);
            break;
        default:
            paintReasonContent(p, reasonText(screen));
            paintCaption(p, kResultLeft, kCaptionFailed, Mark::Fail);
            break;
    }
}

void paintButtonCard(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour::kCardLine, 1));
    p.setBrush(colour::kWhite);
    p.drawRoundedRect(QRectF(kButtonCard).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    p.restore();
    p.fillRect(kButtonArea, colour::kWhite);
}

void paintInstructions(QPainter& p) {
    // Dashed rule.
    QColor rule(168, 192, 216);
    for (int x = kTextLeft; x < kTextRight; x += 8) {
        p.fillRect(QRect(x, kRuleRow, 5, 1), rule);
    }

    // Heading with an accent bar.
    const qreal headingY = kRuleRow + 20;
    p.fillRect(QRectF(kTextLeft, headingY - 8, 4, 16), colour::kBrand);
    drawLine(p, uiFont(16, true), kHelpHeading, QPointF(kTextLeft + 11, headingY), colour::kText,
             Qt::AlignLeft);

    // Numbered items with a hanging indent.
    const QFont font = uiFont(14);
    const QFont digits = uiFont(11, true);
    const qreal pitch = 21;
    const qreal itemGap = 3;
    const qreal textLeft = kTextLeft + 22;
    const qreal width = kTextRight - textLeft;
    qreal y = headingY + 15;
    int number = 1;
    for (const QList<Run>& item : helpItems()) {
        const Paragraph para(font, item, width, pitch);
        const QPointF badge(kTextLeft + 8, y + pitch / 2);
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kBrandDark);
        p.drawEllipse(badge, 8, 8);
        p.restore();
        drawLine(p, digits, QString::number(number), badge + QPointF(0, 0.5), colour::kWhite);
        para.draw(p, QPointF(textLeft, y));
        y += para.height() + itemGap;
        ++number;
    }
    if (y - itemGap > kFooterTop - 4) {
        layoutError(QStringLiteral("instructions end at row %1, below the footer").arg(y));
    }
}

}  // namespace

QImage paintScreen(Screen screen, int scale) {
    QImage image(kScreenSize * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(colour::kBody);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBanner(p);
    paintSamplePanel(p);
    paintResultPanel(p, screen);
    paintButtonCard(p);
    paintInstructions(p);
    paintFooter(p);
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

}  // namespace artwork
