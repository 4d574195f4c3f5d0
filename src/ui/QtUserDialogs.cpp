#include "ui/QtUserDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

const QString CQtUserDialogs::kMessageTitle = QStringLiteral("Quorvel");
const QString CQtUserDialogs::kOpenFilter =
    QStringLiteral("JPEG文件(*.jpg,*.jpeg,*.jpe) (*.jpg *.jpeg *.jpe)");
const QString CQtUserDialogs::kSaveFilter = QStringLiteral("JPEG文件(*.jpg) (*.jpg)");
const QString CQtUserDialogs::kSaveFileName = QStringLiteral("报名照片.jpg");

CQtUserDialogs::CQtUserDialogs(QWidget* owner) : m_pOwner(owner) {}

void CQtUserDialogs::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::Warning, kMessageTitle, text, QMessageBox::NoButton, m_pOwner);
    box.setTextFormat(Qt::PlainText);
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

std::optional<QString> CQtUserDialogs::GetOpenPath() {
    QFileDialog dialog(m_pOwner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(kOpenFilter);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> CQtUserDialogs::GetSavePath() {
    QFileDialog dialog(m_pOwner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(kSaveFilter);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.selectFile(kSaveFileName);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
