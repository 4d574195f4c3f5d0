// The photo commands of the window: open and audit, save.
#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

#include "core/save/SavePhoto.h"
#include "gui/AuditWorker.h"
#include "gui/MainWindow.h"
#include "gui/MeasuredLine.h"
#include "gui/Pictures.h"
#include "gui/SaveMessage.h"

namespace quorvel::gui {

namespace {

// The file system's name for a path the dialogs hand over.
std::filesystem::path localPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

void MainWindow::openPhoto() {
    // A cancelled dialog leaves the window as it was, an accepted photo
    // still ready to be saved.
    const std::optional<QString> path = m_dialogs->openPath(m_recentFolder.startFolder());
    takeFocusBack();
    if (!path) return;
    m_photoPath = localPath(*path);
    startAudit();
}

void MainWindow::auditFile(const QString& path) { auditFile(localPath(path)); }

void MainWindow::auditFile(const std::filesystem::path& path) {
    if (!m_session || m_auditRunning) return;
    m_photoPath = path;
    startAudit();
}

void MainWindow::startAudit() {
    // The new photo replaces the last result, which can no longer be saved.
    m_saveButton.setPicture(pictures::kSaveButtonDisabled);
    m_measuredText.clear();
    m_savedLabel->hide();
    m_recentFolder.rememberPhoto(QFile::decodeName(m_photoPath.c_str()));
    setAuditRunning(true);
    m_auditWorker->start(m_session, m_photoPath);
}

void MainWindow::setAuditRunning(bool running) {
    if (running == m_auditRunning) return;
    m_auditRunning = running;
    update();  // the waiting panel comes and goes with the audit
    // Exit stays available: closing abandons a running audit.
    if (running) m_openHadFocus = focusWidget() == &m_openButton;
    m_openButton.setEnabled(!running);
    if (running) {
        m_saveButton.setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    QApplication::restoreOverrideCursor();
    // Disabling Open moved the keyboard focus away from it; it returns there.
    if (m_openHadFocus || focusWidget() == nullptr || !focusWidget()->isEnabled()) {
        m_openButton.setFocus();
    }
}

void MainWindow::applyVerdict(const quorvel::AuditReport& report) {
    setAuditRunning(false);
    m_auditState = report.verdict;
    if (m_auditState == quorvel::Verdict::Passed) m_processedPhoto = report.processedPhoto;
    m_session->LogVerdict(m_photoPath, m_auditState);
    m_measuredText = measuredLine(report, m_session->settings());
    // Under the reason text of the verdict's screen, in window pixels.
    m_measuredRect = measuredLineRect(loadPicture(screenPicture(m_auditState)));
    if (m_auditState == quorvel::Verdict::Passed) {
        m_saveButton.setPicture(pictures::kSaveButton);
        m_saveButton.setEnabled(true);
    }
    update();
    emit auditFinished(m_auditState);
}

void MainWindow::savePhoto() {
    m_saveButton.setPicture(pictures::kSaveButtonDisabled);

    const std::optional<QString> path = m_dialogs->savePath(m_recentFolder.startFolder());
    takeFocusBack();
    if (!path) {
        // Cancelled: the accepted photo stays on screen, ready to be saved.
        m_saveButton.setPicture(pictures::kSaveButton);
        return;
    }
    const quorvel::Result<quorvel::SavedPhoto> result =
        quorvel::SaveProcessedPhoto(m_processedPhoto, localPath(*path));
    if (!result) {
        m_dialogs->showMessage(saveFailureMessage(result.error()));
        takeFocusBack();
        // The accepted photo stays, so that another folder or name can be tried.
        m_saveButton.setPicture(pictures::kSaveButton);
        return;
    }

    // The next step is another photo: a keyboard user on Save moves to Open.
    const bool saveHadFocus = focusWidget() == &m_saveButton;
    m_saveButton.setEnabled(false);
    if (saveHadFocus) m_openButton.setFocus();
    m_auditState = quorvel::Verdict::Initial;
    m_measuredText.clear();
    showSavedLine(*path);
    update();
}

void MainWindow::showSavedLine(const QString& path) {
    const SavedLine line = savedLine(path);
    m_savedFolder = line.folder;
    // A long folder name is shortened at its start.
    const QFontMetrics metrics(m_savedLabel->font());
    const QString file = QLatin1Char('/') + line.fileName;
    const int room = kSavedLineRect.width() - metrics.horizontalAdvance(kSavedPrefix);
    // The folder keeps at least a third of the line; a file name too long
    // for the rest loses its middle, so that its start and extension show.
    const int folderRoom = std::max(room - metrics.horizontalAdvance(file), room / 3);
    const QString folder = metrics.elidedText(line.folderName, Qt::ElideLeft, folderRoom);
    const QString shown = folder + metrics.elidedText(file, Qt::ElideMiddle,
                                                      room - metrics.horizontalAdvance(folder));
    m_savedLabel->setText(
        kSavedPrefix.toHtmlEscaped() +
        QStringLiteral("<a href=\"folder\" style=\"color:%1\">").arg(kSavedLineColor.name()) +
        shown.toHtmlEscaped() + QStringLiteral("</a>"));
    m_savedLabel->setToolTip(path + QStringLiteral("\n点击打开所在文件夹"));
    m_savedLabel->setAccessibleName(line.text());
    m_savedLabel->setCursor(Qt::PointingHandCursor);
    m_savedLabel->show();
}

QString MainWindow::savedText() const {
    return m_savedLabel->isHidden() ? QString() : m_savedLabel->accessibleName();
}

}  // namespace quorvel::gui
