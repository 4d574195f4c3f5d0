// Vector symbols: the sample portrait, the product mark, the button symbols
// and the status marks. Each is designed on a unit grid and mapped onto the
// target rectangle, so one definition serves every size.
#include <QPainterPath>
#include <QPen>

#include "artwork.h"

namespace artwork {

namespace {

// Maps design coordinates (0..gridX, 0..gridY) onto a rectangle.
class Grid {
public:
    Grid(const QRectF& r, qreal gridX, qreal gridY)
        : r_(r), sx_(r.width() / gridX), sy_(r.height() / gridY) {}

    QPointF operator()(qreal x, qreal y) const { return {r_.left() + x * sx_, r_.top() + y * sy_}; }
    QRectF rect(qreal x, qreal y, qreal w, qreal h) const {
        return {(*this)(x, y), QSizeF(w * sx_, h * sy_)};
    }
    qreal len(qreal d) const { return d * (sx_ + sy_) / 2; }

private:
    QRectF r_;
    qreal sx_;
    qreal sy_;
};

QPen roundPen(const QColor& colour, qreal width) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

}  // namespace

void drawSamplePortrait(QPainter& painter, const QRectF& r) {
    const QColor background(133, 190, 238);
    const QColor suit(44, 58, 82);
    const QColor suitLight(60, 77, 106);
    const QColor shirt(250, 251, 253);
    const QColor skin(246, 210, 184);
    const QColor skinShade(228, 184, 156);
    const QColor hair(42, 38, 44);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(r);
    painter.fillRect(r, background);
    painter.setPen(Qt::NoPen);
    const Grid g(r, 1.0, 1.0);

    // Jacket.
    QPainterPath torso;
    torso.moveTo(g(-0.02, 1.02));
    torso.lineTo(g(-0.02, 0.95));
    torso.cubicTo(g(0.0, 0.85), g(0.07, 0.81), g(0.22, 0.785));
    torso.lineTo(g(0.40, 0.75));
    torso.lineTo(g(0.60, 0.75));
    torso.lineTo(g(0.78, 0.785));
    torso.cubicTo(g(0.93, 0.81), g(1.0, 0.85), g(1.02, 0.95));
    torso.lineTo(g(1.02, 1.02));
    torso.closeSubpath();
    painter.setBrush(suit);
    painter.drawPath(torso);

    // Lapels, a shade lighter than the jacket.
    QPainterPath lapels;
    lapels.moveTo(g(0.37, 0.755));
    lapels.lineTo(g(0.50, 1.02));
    lapels.lineTo(g(0.42, 1.02));
    lapels.lineTo(g(0.33, 0.85));
    lapels.lineTo(g(0.36, 0.80));
    lapels.lineTo(g(0.31, 0.78));
    lapels.closeSubpath();
    lapels.moveTo(g(0.63, 0.755));
    lapels.lineTo(g(0.50, 1.02));
    lapels.lineTo(g(0.58, 1.02));
    lapels.lineTo(g(0.67, 0.85));
    lapels.lineTo(g(0.64, 0.80));
    lapels.lineTo(g(0.69, 0.78));
    lapels.closeSubpath();
    painter.setBrush(suitLight);
    painter.drawPath(lapels);

    // Shirt front.
    QPainterPath front;
    front.moveTo(g(0.385, 0.75));
    front.lineTo(g(0.615, 0.75));
    front.lineTo(g(0.50, 0.99));
    front.closeSubpath();
    painter.setBrush(shirt);
    painter.drawPath(front);

    // Neck, ending in the shirt's V.
    QPainterPath neck;
    neck.moveTo(g(0.425, 0.56));
    neck.lineTo(g(0.575, 0.56));
    neck.lineTo(g(0.575, 0.76));
    neck.lineTo(g(0.50, 0.845));
    neck.lineTo(g(0.425, 0.76));
    neck.closeSubpath();
    painter.setBrush(skinShade);
    painter.drawPath(neck);

    // Ears, then the face over them.
    painter.setBrush(skinShade);
    painter.drawEllipse(g(0.300, 0.435), r.width() * 0.034, r.height() * 0.046);
    painter.drawEllipse(g(0.700, 0.435), r.width() * 0.034, r.height() * 0.046);

    QPainterPath face;
    face.moveTo(g(0.50, 0.215));
    face.cubicTo(g(0.625, 0.215), g(0.705, 0.30), g(0.70, 0.415));
    face.cubicTo(g(0.695, 0.54), g(0.61, 0.635), g(0.50, 0.635));
    face.cubicTo(g(0.39, 0.635), g(0.305, 0.54), g(0.30, 0.415));
    face.cubicTo(g(0.295, 0.30), g(0.375, 0.215), g(0.50, 0.215));
    painter.setBrush(skin);
    painter.drawPath(face);

    // Short hair, swept to the side from a parting on the left.
    QPainterPath hairPath;
    hairPath.moveTo(g(0.292, 0.43));
    hairPath.cubicTo(g(0.255, 0.28), g(0.33, 0.135), g(0.49, 0.13));
    hairPath.cubicTo(g(0.665, 0.125), g(0.75, 0.25), g(0.708, 0.43));
    hairPath.lineTo(g(0.694, 0.43));
    hairPath.cubicTo(g(0.69, 0.36), g(0.675, 0.305), g(0.625, 0.285));
    hairPath.cubicTo(g(0.55, 0.26), g(0.45, 0.265), g(0.40, 0.245));
    hairPath.cubicTo(g(0.36, 0.29), g(0.325, 0.34), g(0.31, 0.43));
    hairPath.closeSubpath();
    painter.setBrush(hair);
    painter.drawPath(hairPath);

    painter.restore();
}

void drawBust(QPainter& painter, const QRectF& r, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const Grid g(r, 1.0, 1.0);
    painter.drawEllipse(g(0.5, 0.30), r.width() * 0.22, r.height() * 0.22);
    QPainterPath shoulders;
    shoulders.moveTo(g(0.08, 1.0));
    shoulders.cubicTo(g(0.08, 0.74), g(0.27, 0.60), g(0.5, 0.60));
    shoulders.cubicTo(g(0.73, 0.60), g(0.92, 0.74), g(0.92, 1.0));
    shoulders.closeSubpath();
    painter.drawPath(shoulders);
    painter.restore();
}

void drawMark(QPainter& painter, const QRectF& r, bool onWhite) {
    const QColor tile = onWhite ? colour::kWhite : colour::kBrand;
    const QColor ink = onWhite ? colour::kBrand : colour::kWhite;
    const qreal size = r.width();
    const bool small = size < 28;
    const Grid g(r, 1.0, 1.0);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(r, size * 0.22, size * 0.22);

    if (small) {
        // Corners and badge would blur together: a bigger bust and badge.
        drawBust(painter, g.rect(0.16, 0.16, 0.58, 0.64), ink);
    } else {
        // Viewfinder corners.
        const qreal in = 0.17;
        const qreal arm = 0.15;
        painter.setPen(roundPen(ink, size * 0.055));
        painter.setBrush(Qt::NoBrush);
        const qreal lo = in;
        const qreal hi = 1.0 - in;
        painter.drawPolyline(QList<QPointF>{g(lo, lo + arm), g(lo, lo), g(lo + arm, lo)});
        painter.drawPolyline(QList<QPointF>{g(hi - arm, lo), g(hi, lo), g(hi, lo + arm)});
        painter.drawPolyline(QList<QPointF>{g(lo, hi - arm), g(lo, hi), g(lo + arm, hi)});
        painter.setPen(Qt::NoPen);
        drawBust(painter, g.rect(0.27, 0.25, 0.46, 0.50), ink);
    }

    // Check badge over the lower right corner, ringed in the tile colour.
    const QPointF centre = small ? g(0.72, 0.72) : g(0.75, 0.75);
    const qreal radius = size * (small ? 0.25 : 0.19);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawEllipse(centre, radius + size * (small ? 0.05 : 0.045),
                        radius + size * (small ? 0.05 : 0.045));
    drawPassMark(painter, centre, radius);
    painter.restore();
}

void drawPassMark(QPainter& painter, QPointF centre, qreal radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour::kPass);
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(roundPen(colour::kWhite, radius * 0.26));
    painter.setBrush(Qt::NoBrush);
    const auto at = [&](qreal x, qreal y) { return centre + QPointF(x * radius, y * radius); };
    painter.drawPolyline(QList<QPointF>{at(-0.44, 0.02), at(-0.12, 0.32), at(0.44, -0.28)});
    painter.restore();
}

void drawFailMark(QPainter& painter, QPointF centre, qreal radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour::kFail);
    painter.drawEllipse(centre, radius, radius);
    const auto at = [&](qreal x, qreal y) { return centre + QPointF(x * radius, y * radius); };
    painter.setPen(roundPen(colour::kWhite, radius * 0.24));
    painter.drawLine(at(0, -0.48), at(0, 0.10));
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour::kWhite);
    painter.drawEllipse(at(0, 0.45), radius * 0.14, radius * 0.14);
    painter.restore();
}

void drawFolder(QPainter& painter, const QRectF& r, const QColor& ink) {
    const Grid g(r, 24, 24);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(roundPen(ink, g.len(1.2)));

    QColor back = ink;
    back.setAlphaF(0.62);
    QPainterPath rear;
    rear.moveTo(g(2.5, 5));
    rear.lineTo(g(9, 5));
    rear.lineTo(g(11, 7.2));
    rear.lineTo(g(19.5, 7.2));
    rear.lineTo(g(19.5, 19));
    rear.lineTo(g(2.5, 19));
    rear.closeSubpath();
    painter.setPen(roundPen(back, g.len(1.2)));
    painter.setBrush(back);
    painter.drawPath(rear);

    QPainterPath flap;
    flap.moveTo(g(6, 10.5));
    flap.lineTo(g(22.5, 10.5));
    flap.lineTo(g(19.2, 19.5));
    flap.lineTo(g(2.5, 19.5));
    flap.closeSubpath();
    painter.setPen(roundPen(ink, g.len(1.2)));
    painter.setBrush(ink);
    painter.drawPath(flap);
    painter.restore();
}

void drawDiskette(QPainter& painter, const QRectF& r, const QColor& ink) {
    const Grid g(r, 24, 24);
    QPainterPath body;
    body.moveTo(g(3, 3));
    body.lineTo(g(17, 3));
    body.lineTo(g(21, 7));
    body.lineTo(g(21, 21));
    body.lineTo(g(3, 21));
    body.closeSubpath();

    QPainterPath shutter;
    shutter.addRoundedRect(g.rect(7, 4.6, 8.6, 4.6), g.len(0.6), g.len(0.6));
    QPainterPath label;
    label.addRoundedRect(g.rect(6.3, 12.6, 11.4, 6.8), g.len(1), g.len(1));
    QPainterPath shape = body.subtracted(shutter).subtracted(label);
    // The slot in the shutter.
    shape.addRect(g.rect(12.6, 5.6, 1.8, 2.6));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(roundPen(ink, g.len(0.8)));
    painter.setBrush(ink);
    painter.drawPath(shape);
    painter.restore();
}

void drawRunner(QPainter& painter, const QRectF& r, const QColor& ink) {
    const Grid g(r, 24, 24);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(g(15.8, 3.4), g.len(2.6), g.len(2.6));

    painter.setPen(roundPen(ink, g.len(3.0)));
    painter.setBrush(Qt::NoBrush);
    // Torso leaning forward.
    painter.drawLine(g(13.8, 8.0), g(11.0, 14.4));
    // Arms: the rear one swung back, the front one bent forward.
    painter.drawPolyline(QList<QPointF>{g(13.6, 8.4), g(9.2, 9.2), g(6.6, 12.6)});
    painter.drawPolyline(QList<QPointF>{g(13.6, 8.4), g(16.2, 12.0), g(20.2, 12.8)});
    // Legs in stride.
    painter.drawPolyline(QList<QPointF>{g(11.0, 14.4), g(15.8, 17.0), g(14.8, 22.0)});
    painter.drawPolyline(QList<QPointF>{g(11.0, 14.4), g(8.6, 19.2), g(3.6, 20.2)});
    painter.restore();
}

void drawPicturePlaceholder(QPainter& painter, const QRectF& r, const QColor& ink) {
    const Grid g(r, 24, 24);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(roundPen(ink, g.len(1.3)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(g.rect(2, 4, 20, 16), g.len(2), g.len(2));
    painter.drawPolyline(
        QList<QPointF>{g(2.8, 17.5), g(8.5, 11.5), g(13, 16), g(16, 13.2), g(21.2, 18.2)});
    painter.drawEllipse(g(16.2, 8.6), g.len(1.7), g.len(1.7));
    painter.restore();
}

}  // namespace artwork
