#pragma once

#include <QString>

namespace quorvel::gui {

// Where the file dialogs start: the folder of the last photo opened,
// remembered between runs in the user's settings (~/.config/quorvel), else the
// user's Pictures folder, else the home folder. Never the working folder nor
// the per-user data folder, which is hidden.
class RecentFolder {
public:
    QString startFolder() const;

    // Remembers the folder of a photo that is being opened.
    void rememberPhoto(const QString& photoPath);
};

}  // namespace quorvel::gui
