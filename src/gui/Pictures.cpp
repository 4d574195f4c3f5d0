#include "gui/Pictures.h"

#include <QString>

#include "gui/Resource.h"

// The resources live in a static library; register them once before use.
static void InitPictureResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(quorvel);
        return true;
    }();
    (void)registered;
}

QImage LoadPicture(int id) {
    InitPictureResources();
    return QImage(QStringLiteral(":/pictures/%1.png").arg(id));
}

QIcon LoadAppIcon() {
    InitPictureResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(IDR_MAINFRAME).arg(size),
                     QSize(size, size));
    }
    return icon;
}
