#include "gui/RecentFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace quorvel::gui {

namespace {

const QString kLastFolderKey = QStringLiteral("dialogs/lastPhotoFolder");

QSettings UserSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quorvel"),
                     QStringLiteral("quorvel"));
}

}  // namespace

QString RecentFolder::startFolder() const {
    const QString last = UserSettings().value(kLastFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return pictures;
    return QDir::homePath();
}

void RecentFolder::rememberPhoto(const QString& photoPath) {
    const QString folder = QFileInfo(photoPath).absolutePath();
    if (!QFileInfo(folder).isDir()) return;
    QSettings settings = UserSettings();
    settings.setValue(kLastFolderKey, folder);
}

}  // namespace quorvel::gui
