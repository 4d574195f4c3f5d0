#include "gui/QtUserDialogs.h"

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

namespace {

// Runs a file dialog with one filter; the chosen path, or none on cancel.
std::optional<QString> RunFileDialog(QFileDialog& dialog, QFileDialog::AcceptMode mode,
                                     QFileDialog::FileMode fileMode, const QString& filter) {
    dialog.setAcceptMode(mode);
    dialog.setFileMode(fileMode);
    dialog.setNameFilter(filter);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> CQtUserDialogs::GetOpenPath() {
    QFileDialog dialog(m_pOwner);
    return RunFileDialog(dialog, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, kOpenFilter);
}

std::optional<QString> CQtUserDialogs::GetSavePath() {
    QFileDialog dialog(m_pOwner);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.selectFile(kSaveFileName);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    return RunFileDialog(dialog, QFileDialog::AcceptSave, QFileDialog::AnyFile, kSaveFilter);
}
