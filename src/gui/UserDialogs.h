#pragma once

#include <QString>
#include <optional>

namespace quorvel::gui {

// The questions the window puts to the user: a message with an OK button and
// the two file dialogs. Tests answer them with a fake.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A modal box titled "Quorvel" with a single OK button.
    virtual void showMessage(const QString& text) = 0;

    // The photo to open, or nothing when the user cancels.
    virtual std::optional<QString> openPath() = 0;

    // Where to save the accepted photo, or nothing when the user cancels.
    virtual std::optional<QString> savePath() = 0;
};

}  // namespace quorvel::gui
