// The photo commands of the window: open and audit, save.
#include <QApplication>
#include <QFileInfo>

#include "app/Log.h"
#include "audit/AuditChain.h"
#include "audit/PathText.h"
#include "gui/AuditWorker.h"
#include "gui/MainWindow.h"
#include "gui/Pictures.h"
#include "gui/SaveMessage.h"
#include "output/SavePhoto.h"

void MainWindow::openPhoto() {
    // Whatever the user does next, the last result can no longer be saved.
    m_saveButton.setEnabled(false);
    m_saveButton.setPicture(loadPicture(pictures::kSaveButtonDisabled));

    const std::optional<QString> path = m_dialogs->openPath();
    if (!path) return;
    m_photoPath = *path;
    m_photoFileName = QFileInfo(*path).fileName();
    startAudit();
}

void MainWindow::startAudit() {
    setAuditRunning(true);
    m_auditWorker->start(m_photoPath, AuditSettings{m_color, m_size});
}

void MainWindow::setAuditRunning(bool running) {
    if (running == m_auditRunning) return;
    m_auditRunning = running;
    m_openButton.setEnabled(!running);
    m_exitButton.setEnabled(!running);
    if (running) {
        m_saveButton.setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    QApplication::restoreOverrideCursor();
    // Disabling the buttons took the keyboard focus away; it returns to Open.
    if (focusWidget() == nullptr || !focusWidget()->isEnabled()) m_openButton.setFocus();
}

void MainWindow::applyVerdict(const AuditOutcome& outcome) {
    setAuditRunning(false);
    m_auditState = outcome.state;
    if (m_auditState == AUDIT_PASSED) m_processedPhoto = outcome.processedPhoto;
    LogVerdict(g_log, m_photoFileName.toStdWString(), m_auditState);
    if (m_auditState == AUDIT_PASSED) {
        m_saveButton.setPicture(loadPicture(pictures::kSaveButton));
        m_saveButton.setEnabled(true);
    }
    update();
    emit auditFinished(m_auditState);
}

void MainWindow::savePhoto() {
    m_saveButton.setPicture(loadPicture(pictures::kSaveButtonDisabled));

    if (const std::optional<QString> path = m_dialogs->savePath()) {
        const SaveResult result =
            SaveProcessedPhoto(m_processedPhoto, ToThreadAnsiPath(path->toStdWString()));
        if (!result.ok) {
            m_dialogs->showMessage(saveFailureMessage(result));
            // The accepted photo stays, so that another folder or name can be tried.
            m_saveButton.setPicture(loadPicture(pictures::kSaveButton));
            return;
        }
    }

    // The next step is another photo: a keyboard user on Save moves to Open.
    const bool saveHadFocus = focusWidget() == &m_saveButton;
    m_saveButton.setEnabled(false);
    if (saveHadFocus) m_openButton.setFocus();
    m_auditState = AUDIT_INITIAL;
    update();
}
