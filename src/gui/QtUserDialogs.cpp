#include "gui/QtUserDialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace quorvel::gui {

const QString QtUserDialogs::kMessageTitle = QStringLiteral("Quorvel");
const QString QtUserDialogs::kOpenFilter =
    QStringLiteral("JPEG文件(*.jpg,*.jpeg,*.jpe) (*.jpg *.jpeg *.jpe)");
const QString QtUserDialogs::kSaveFilter = QStringLiteral("JPEG文件(*.jpg) (*.jpg)");
const QString QtUserDialogs::kSaveFileName = QStringLiteral("报名照片.jpg");

QtUserDialogs::QtUserDialogs(QWidget* owner) : m_owner(owner) {}

void QtUserDialogs::showMessage(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Warning, kMessageTitle, text, QMessageBox::NoButton, m_owner);
    box.setTextFormat(Qt::PlainText);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool QtUserDialogs::confirm(const QString& text, const QString& accept, const QString& reject) {
    QMessageBox box(QMessageBox::Question, kMessageTitle, text, QMessageBox::NoButton, m_owner);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(accept, QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(reject, QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

namespace {

// Runs a file dialog with one filter; the chosen path, or none on cancel.
std::optional<QString> runFileDialog(QFileDialog& dialog, QFileDialog::AcceptMode mode,
                                     QFileDialog::FileMode fileMode, const QString& filter) {
    dialog.setAcceptMode(mode);
    dialog.setFileMode(fileMode);
    dialog.setNameFilter(filter);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> QtUserDialogs::openPath(const QString& startFolder) {
    QFileDialog dialog(m_owner);
    dialog.setDirectory(startFolder);
    return runFileDialog(dialog, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, kOpenFilter);
}

std::optional<QString> QtUserDialogs::savePath(const QString& startFolder) {
    QFileDialog dialog(m_owner);
    dialog.setDirectory(startFolder);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.selectFile(kSaveFileName);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    return runFileDialog(dialog, QFileDialog::AcceptSave, QFileDialog::AnyFile, kSaveFilter);
}

bool QtUserDialogs::showFolder(const QString& folder) {
    // xdg-open reports through its exit status whether a file manager took
    // the folder; Qt's own opening only knows whether it could start it.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    auto* process = new QProcess(m_owner);
    const auto failed = [this, process, folder] {
        process->deleteLater();
        showMessage(folderNotShownMessage(folder));
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0) {
                             failed();
                         } else {
                             process->deleteLater();
                         }
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [failed](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) failed();
                     });
    process->start(opener, {QUrl::fromLocalFile(folder).toString()});
    return true;
}

}  // namespace quorvel::gui
