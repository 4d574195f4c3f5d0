// Shared declarations of the artwork generator: palette, fonts, text layout,
// vector symbols and the picture painters.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace artwork {

// ---- Palette -------------------------------------------------------------

namespace colour {
// Banner, panel frames, footer.
inline const QColor kBrand{14, 136, 219};
inline const QColor kBrandDark{9, 104, 171};
// Window body behind the panels and its card outlines.
inline const QColor kBody{241, 246, 251};
inline const QColor kCardLine{210, 224, 238};
// One-pixel inner border of the result frame.
inline const QColor kFrameLine{150, 199, 240};
// Text.
inline const QColor kText{33, 43, 54};
inline const QColor kTextSoft{56, 68, 84};
// Secondary text: 5.3:1 on white.
inline const QColor kMuted{96, 108, 122};
inline const QColor kRed{214, 24, 24};
inline const QColor kWhite{255, 255, 255};
// Button bars: their white 20-pixel bold labels reach 3:1 even on the bars'
// lighter top, the dark label of the greyed bar 4.5:1.
inline const QColor kOpen{14, 136, 219};
inline const QColor kSave{35, 160, 74};
inline const QColor kExit{222, 56, 56};
inline const QColor kDisabled{194, 201, 210};
inline const QColor kDisabledInk{70, 80, 92};
// Status marks.
inline const QColor kPass{38, 170, 82};
inline const QColor kFail{226, 48, 48};
}  // namespace colour

// ---- Fonts ---------------------------------------------------------------

// Registers the Noto CJK fonts; returns false when the Simplified Chinese
// sans-serif family is not available.
bool loadFonts();

// Sans-serif Simplified Chinese font of the given pixel size.
QFont uiFont(int pixelSize, bool bold = false);

// ---- Text ----------------------------------------------------------------

struct Run {
    QString text;
    QColor colour;
};

// A paragraph of coloured runs wrapped to a width with the usual Chinese
// line-breaking rules; lines are laid out at a fixed pitch with the glyphs
// centred vertically in each line.
class Paragraph {
public:
    Paragraph(const QFont& font, const QList<Run>& runs, qreal width, qreal linePitch,
              Qt::Alignment align = Qt::AlignLeft);

    int lineCount() const { return lines_; }
    qreal height() const { return lines_ * pitch_; }
    void draw(QPainter& painter, QPointF topLeft) const;

private:
    QFont font_;
    QList<Run> runs_;
    qreal width_;
    qreal pitch_;
    Qt::Alignment align_;
    int lines_ = 0;
};

// One line of text whose ideographic em box is centred vertically on
// anchor.y(); anchor.x() is its left end, centre or right end by `align`.
void drawLine(QPainter& painter, const QFont& font, const QString& text, QPointF anchor,
              const QColor& colour, Qt::Alignment align = Qt::AlignHCenter);

qreal textWidth(const QFont& font, const QString& text);

// Reports a layout problem and makes the run fail.
void layoutError(const QString& message);
bool hadLayoutError();

// ---- Symbols -------------------------------------------------------------

// Flat head-and-shoulders illustration of an identity photo filling `r`.
void drawSamplePortrait(QPainter& painter, const QRectF& r);

// Bust (head and shoulders) in one colour, fitted to `r`.
void drawBust(QPainter& painter, const QRectF& r, const QColor& colour);

// The product mark: a bust in viewfinder corners with a check badge, on a
// blue tile, or on a white tile when `onWhite` (for the blue banner).
void drawMark(QPainter& painter, const QRectF& r, bool onWhite);

void drawFolder(QPainter& painter, const QRectF& r, const QColor& ink);
void drawDiskette(QPainter& painter, const QRectF& r, const QColor& ink);
void drawRunner(QPainter& painter, const QRectF& r, const QColor& ink);

// Round status marks: a check on a green disc, an exclamation on a red one.
void drawPassMark(QPainter& painter, QPointF centre, qreal radius);
void drawFailMark(QPainter& painter, QPointF centre, qreal radius);

// Outline of a picture (frame, hills and sun) as a placeholder.
void drawPicturePlaceholder(QPainter& painter, const QRectF& r, const QColor& ink);

// ---- Pictures ------------------------------------------------------------

enum class Screen { Passed, BadFormat, TooSmall, BadBackground, BadProportion, NoFace, Initial };

constexpr QSize kScreenSize{800, 600};
constexpr QSize kButtonSize{197, 48};
constexpr QSize kDisabledButtonSize{201, 52};

// The screens and buttons are laid out in window pixels and painted at
// `scale` image pixels per window pixel: 1 for the window's own size, 2 for
// its @2x pictures, which keep every placement at doubled coordinates.
QImage paintScreen(Screen screen, int scale = 1);

enum class Button { Open, Save, Exit, SaveDisabled };
QImage paintButton(Button button, int scale = 1);

QImage paintIcon(int size);

}  // namespace artwork
