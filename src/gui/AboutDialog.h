#pragma once

#include <QDialog>
#include <QIcon>

namespace quorvel::gui {

// The About box: the icon, the name and version, and an OK button.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(const QIcon& icon, QWidget* parent = nullptr);

    static const QString kCaption;
    static const QString kVersionText;
};

}  // namespace quorvel::gui
