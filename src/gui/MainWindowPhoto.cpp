// The photo commands of the window: open and audit, save.
#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

#include "core/save/SavePhoto.h"
#include "gui/Accessibility.h"
#include "gui/AuditWorker.h"
#include "gui/FailureMessages.h"
#include "gui/MainWindow.h"
#include "gui/MeasuredLine.h"
#include "gui/Pictures.h"

namespace quorvel::gui {

namespace {

// The file system's name for a path the dialogs hand over.
std::filesystem::path localPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

void MainWindow::openPhoto() {
    // While an audit runs the button stays enabled (the focus stays on it)
    // and a press does nothing.
    if (!m_session || m_auditRunning) return;
    // A cancelled dialog leaves the window as it was, an accepted photo
    // still ready to be saved.
    const std::optional<QString> path = m_dialogs->openPath(m_recentFolder.startFolder());
    takeFocusBack();
    if (!path) return;
    m_photoPath = localPath(*path);
    holdFocusForResult();
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
    m_adviceText.clear();
    m_alreadyProcessed = false;
    m_savedLabel->hide();
    m_recentFolder.rememberPhoto(QFile::decodeName(m_photoPath.c_str()));
    setAuditRunning(true);
    m_auditWorker->start(m_session, m_photoPath);
}

void MainWindow::setAuditRunning(bool running) {
    if (running == m_auditRunning) return;
    m_auditRunning = running;
    update();  // the waiting panel comes and goes with the audit
    if (running && m_focusHeldFor != nullptr) {
        // Right after a dialog only an audit that takes a while is told to
        // be running: a quick verdict is the first thing heard.
        m_photoPart->hide();
        m_waitingAnnouncement.start();
    } else {
        announceResult();
    }
    // Open and Exit stay available: Open ignores a press, closing abandons
    // the audit. The focus never moves by itself to Exit: a focused Save
    // hands it to Open before it is disabled.
    if (running) {
        if (focusWidget() == &m_saveButton) m_openButton.setFocus();
        m_saveButton.setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    QApplication::restoreOverrideCursor();
}

void MainWindow::applyVerdict(const quorvel::AuditReport& report, bool alreadyProcessed) {
    m_auditState = report.verdict;
    m_alreadyProcessed = alreadyProcessed;
    if (m_auditState == quorvel::Verdict::Passed) m_processedPhoto = report.processedPhoto;
    showLogOutcome(m_session->LogVerdict(m_photoPath, m_auditState));
    m_measuredText = measuredLine(report);
    m_adviceText = adviceLine(report);
    // Under the reason text of the verdict's screen, in window pixels.
    m_measuredRect = measuredLineRect(loadPicture(screenPicture(m_auditState)));
    const bool passed = m_auditState == quorvel::Verdict::Passed;
    if (passed) {
        m_saveButton.setPicture(pictures::kSaveButton);
        m_saveButton.setEnabled(true);
    }
    setAuditRunning(false);
    // The next step, heard after the verdict: Enter saves a passed photo, or
    // opens another one.
    releaseHeldFocus();
    (passed ? m_saveButton : m_openButton).setFocus();
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
    const std::filesystem::path target = localPath(*path);
    if (!saveFormatAccepted(target)) {
        // Kept: the photo stays on screen, to be saved under another name.
        m_saveButton.setPicture(pictures::kSaveButton);
        return;
    }
    const quorvel::Result<quorvel::SavedPhoto> result =
        quorvel::SaveProcessedPhoto(m_processedPhoto, target);
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
    m_adviceText.clear();
    m_alreadyProcessed = false;
    showSavedLine(*path);
    announceResult();
    update();
}

bool MainWindow::saveFormatAccepted(const std::filesystem::path& target) {
    // A name the image library cannot encode at all fails in the save and
    // is told there; a format it encodes but the registration side refuses
    // is asked about first.
    if (quorvel::SaveNameVerifies(target) || !quorvel::EncodeForSave(m_processedPhoto, target)) {
        return true;
    }
    const QString suffix = QString::fromStdString(target.extension().string()).mid(1);
    const bool accepted = m_dialogs->confirm(otherFormatQuestion(suffix),
                                             QStringLiteral("仍然保存"), QStringLiteral("取消"));
    takeFocusBack();
    return accepted;
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
    m_savedLabel->show();
}

QString MainWindow::savedText() const {
    return m_savedLabel->isHidden() ? QString() : m_savedLabel->accessibleName();
}

}  // namespace quorvel::gui
