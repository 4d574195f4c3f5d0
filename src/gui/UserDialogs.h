#pragma once

#include <QString>
#include <optional>

namespace quorvel::gui {

// The questions the window puts to the user: a message with an OK button,
// the two file dialogs, and the file manager. Tests answer them with a fake.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A modal box titled "Quorvel" with a single OK button; the detail, when
    // there is one, beneath the text (e.g. the file a start-up message means).
    virtual void showMessage(const QString& text, const QString& detail) = 0;
    void showMessage(const QString& text) { showMessage(text, QString()); }

    // A question with two answers; true when the user picks `accept`. The
    // other answer is the default, and Escape gives it.
    virtual bool confirm(const QString& text, const QString& accept, const QString& reject) = 0;

    // The photo to open, or nothing when the user cancels; the dialog starts
    // in startFolder.
    virtual std::optional<QString> openPath(const QString& startFolder) = 0;

    // Where to save the accepted photo, or nothing when the user cancels; the
    // dialog starts in startFolder.
    virtual std::optional<QString> savePath(const QString& startFolder) = 0;

    // Shows the folder in the desktop's file manager; false when none could.
    // A file manager that fails later is reported by the dialogs themselves.
    virtual bool showFolder(const QString& folder) = 0;
};

// What the user is told when the saved photo's folder could not be shown.
inline QString folderNotShownMessage(const QString& folder) {
    return QStringLiteral("无法打开文件夹：") + folder +
           QStringLiteral("\n请在文件管理器中打开这个文件夹。");
}

// The question put before a save under a name whose format the registration
// side refuses (TIFF, WebP, ...): the photo would not be recognised there.
inline QString otherFormatQuestion(const QString& suffix) {
    return QStringLiteral("注册系统只接受 JPEG、PNG 或 BMP 格式的照片，以 .") + suffix +
           QStringLiteral(" 保存的照片不会被识别为本工具通过的照片。仍要保存吗？");
}

}  // namespace quorvel::gui
