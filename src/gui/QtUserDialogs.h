#pragma once

#include <QPointer>
#include <QWidget>

#include "gui/UserDialogs.h"

namespace quorvel::gui {

// The dialogs as Qt shows them, owned by the given window.
class QtUserDialogs : public UserDialogs {
public:
    explicit QtUserDialogs(QWidget* owner);

    using UserDialogs::showMessage;
    void showMessage(const QString& text, const QString& detail) override;
    std::optional<QString> openPath(const QString& startFolder) override;
    bool confirm(const QString& text, const QString& accept, const QString& reject) override;
    std::optional<QString> savePath(const QString& startFolder) override;
    bool showFolder(const QString& folder) override;

    static const QString kMessageTitle;
    // The file type lists show only the label before the patterns, e.g.
    // "JPEG文件(*.jpg,*.jpeg,*.jpe)".
    static const QString kOpenFilter;
    static const QString kSaveFilter;
    static const QString kSaveFileName;

private:
    QPointer<QWidget> m_owner;
};

}  // namespace quorvel::gui
