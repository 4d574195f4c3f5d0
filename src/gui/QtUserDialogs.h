#pragma once

#include <QPointer>
#include <QWidget>

#include "gui/UserDialogs.h"

// The dialogs as Qt shows them, owned by the given window.
class CQtUserDialogs : public IUserDialogs {
public:
    explicit CQtUserDialogs(QWidget* owner);

    void ShowMessage(const QString& text) override;
    std::optional<QString> GetOpenPath() override;
    std::optional<QString> GetSavePath() override;

    static const QString kMessageTitle;
    // The file type lists show only the label before the patterns, e.g.
    // "JPEG文件(*.jpg,*.jpeg,*.jpe)".
    static const QString kOpenFilter;
    static const QString kSaveFilter;
    static const QString kSaveFileName;

private:
    QPointer<QWidget> m_pOwner;
};
