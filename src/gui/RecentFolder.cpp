#include "gui/RecentFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "core/config/ConfigPlaces.h"

namespace quorvel::gui {

namespace {

const QString kLastFolderKey = QStringLiteral("dialogs/lastPhotoFolder");

QSettings UserSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quorvel"),
                     QStringLiteral("quorvel"));
}

// The per-user data folder is hidden: a photo opened there (the window's own
// folder) is not where the user keeps photos.
bool IsUserDataFolder(const QString& folder) {
    const std::optional<std::filesystem::path> data = quorvel::UserDataFolderFromEnvironment();
    return data && QFileInfo(folder) == QFileInfo(QFile::decodeName(data->c_str()));
}

}  // namespace

QString RecentFolder::startFolder() const {
    const QString last = UserSettings().value(kLastFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir() && !IsUserDataFolder(last)) return last;
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
