#include "gui/Pictures.h"

#include <QPainter>

namespace quorvel::gui {

QString screenPicture(quorvel::Verdict verdict) {
    using quorvel::Verdict;
    switch (verdict) {
        case Verdict::Initial:
            return QStringLiteral(":/screens/initial.png");
        case Verdict::Passed:
            return QStringLiteral(":/screens/passed.png");
        case Verdict::BadBackground:
            return QStringLiteral(":/screens/bad-background.png");
        case Verdict::BadFormat:
            return QStringLiteral(":/screens/bad-format.png");
        case Verdict::NoFace:
            return QStringLiteral(":/screens/no-face.png");
        case Verdict::BadProportion:
            return QStringLiteral(":/screens/bad-proportion.png");
        case Verdict::TooSmall:
            return QStringLiteral(":/screens/too-small.png");
    }
    return {};
}

QImage loadPicture(const QString& path, qreal devicePixelRatio) {
    if (path.isEmpty()) return {};
    if (devicePixelRatio > 1 && path.endsWith(QLatin1String(".png"))) {
        QImage sharp(path.chopped(4) + QStringLiteral("@2x.png"));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2);
            return sharp;
        }
    }
    return QImage(path);
}

void drawPicture(QPainter& painter, QPoint at, const QImage& picture) {
    painter.save();
    if (picture.devicePixelRatio() != painter.device()->devicePixelRatio()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    }
    painter.drawImage(at, picture);
    painter.restore();
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icon128-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace quorvel::gui
