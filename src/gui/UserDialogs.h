#pragma once

#include <QString>
#include <optional>

namespace quorvel::gui {

// The questions the window puts to the user: a message with an OK button,
// the two file dialogs, and the file manager. Tests answer them with a fake.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A modal box titled "Quorvel" with a single OK button.
    virtual void showMessage(const QString& text) = 0;

    // The photo to open, or nothing when the user cancels; the dialog starts
    // in startFolder.
    virtual std::optional<QString> openPath(const QString& startFolder) = 0;

    // Where to save the accepted photo, or nothing when the user cancels; the
    // dialog starts in startFolder.
    virtual std::optional<QString> savePath(const QString& startFolder) = 0;

    // Shows the folder in the desktop's file manager; false when none could.
    virtual bool showFolder(const QString& folder) = 0;
};

}  // namespace quorvel::gui
