#include "gui/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

#include "gui/DialogUnits.h"

const QString CAboutDlg::kCaption = QStringLiteral("关于 Quorvel");
const QString CAboutDlg::kVersionText = QStringLiteral("Quorvel，1.0 版");

CAboutDlg::CAboutDlg(const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(DluToPixelsX(170), DluToPixelsY(62));

    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(icon.pixmap(32, 32));
    iconLabel->setGeometry(DluRect(14, 14, 21, 20));
    iconLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Plain text: an ampersand in it is shown, not taken as a mnemonic.
    auto* version = new QLabel(kVersionText, this);
    version->setTextFormat(Qt::PlainText);
    QRect textRect = DluRect(42, 14, 114, 8);
    textRect.setHeight(qMax(textRect.height(), version->sizeHint().height()));
    version->setGeometry(textRect);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setGeometry(DluRect(113, 41, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
