#include "gui/Pictures.h"

#include "audit/AuditState.h"

QString screenPicture(int state) {
    switch (state) {
        case AUDIT_INITIAL:
            return QStringLiteral(":/screens/initial.png");
        case AUDIT_PASSED:
            return QStringLiteral(":/screens/passed.png");
        case AUDIT_BAD_BACKGROUND:
            return QStringLiteral(":/screens/bad-background.png");
        case AUDIT_BAD_FORMAT:
            return QStringLiteral(":/screens/bad-format.png");
        case AUDIT_NO_FACE:
            return QStringLiteral(":/screens/no-face.png");
        case AUDIT_BAD_PROPORTION:
            return QStringLiteral(":/screens/bad-proportion.png");
        case AUDIT_TOO_SMALL:
            return QStringLiteral(":/screens/too-small.png");
        default:
            return {};
    }
}

QImage loadPicture(const QString& path) { return path.isEmpty() ? QImage() : QImage(path); }

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icon128-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
