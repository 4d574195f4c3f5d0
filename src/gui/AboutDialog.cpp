#include "gui/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

namespace quorvel::gui {

const QString AboutDialog::kCaption = QStringLiteral("关于 Quorvel");
const QString AboutDialog::kVersionText = QString::fromUtf8("Quorvel，" QUORVEL_VERSION " 版");

namespace {

// The About box's layout, in pixels.
constexpr QSize kBoxSize(298, 116);
constexpr QRect kIconRect(25, 26, 37, 38);
constexpr QRect kTextRect(74, 26, 200, 15);
constexpr QRect kOkButtonRect(198, 77, 88, 26);

}  // namespace

AboutDialog::AboutDialog(const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kBoxSize);
    // Screen readers say the version with the box's name when it opens.
    setAccessibleName(kCaption);
    setAccessibleDescription(kVersionText);

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setPixmap(icon.pixmap(32, 32));
    iconLabel->setGeometry(kIconRect);
    iconLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Plain text: an ampersand in it is shown, not taken as a mnemonic.
    auto* version = new QLabel(kVersionText, this);
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setTextFormat(Qt::PlainText);
    QRect textRect = kTextRect;
    textRect.setHeight(qMax(textRect.height(), version->sizeHint().height()));
    version->setGeometry(textRect);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setGeometry(kOkButtonRect);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quorvel::gui
