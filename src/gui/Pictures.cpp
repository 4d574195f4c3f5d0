#include "gui/Pictures.h"

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

QImage loadPicture(const QString& path) { return path.isEmpty() ? QImage() : QImage(path); }

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icon128-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace quorvel::gui
