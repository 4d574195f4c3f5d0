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

void CQuorvelDlg::OnOpenPhoto() {
    // Whatever the user does next, the last result can no longer be saved.
    const QImage greySave = loadPicture(pictures::kSaveButtonDisabled);
    m_btnSave.setEnabled(false);
    m_btnSave.SetBitmap(greySave);

    const std::optional<QString> pathName = m_pDialogs->GetOpenPath();
    if (!pathName) return;
    m_strPathName = *pathName;
    m_strFileName = QFileInfo(*pathName).fileName();
    RunAudit();
}

void CQuorvelDlg::RunAudit() {
    SetAuditRunning(true);
    m_pAuditThread->Start(m_strPathName, AuditSettings{m_nColor, m_nSize});
}

void CQuorvelDlg::SetAuditRunning(bool running) {
    if (running == m_bAuditRunning) return;
    m_bAuditRunning = running;
    m_btnOpen.setEnabled(!running);
    m_btnExit.setEnabled(!running);
    if (running) {
        m_btnSave.setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    QApplication::restoreOverrideCursor();
    // Disabling the buttons took the keyboard focus away; it returns to Open.
    if (focusWidget() == nullptr || !focusWidget()->isEnabled()) m_btnOpen.setFocus();
}

void CQuorvelDlg::OnAuditFinished(const AuditOutcome& outcome) {
    SetAuditRunning(false);
    m_nAuditState = outcome.state;
    if (m_nAuditState == AUDIT_PASSED) m_processedPhoto = outcome.processedPhoto;
    LogVerdict(g_log, m_strFileName.toStdWString(), m_nAuditState);
    if (m_nAuditState == AUDIT_PASSED) {
        m_btnSave.SetBitmap(loadPicture(pictures::kSaveButton));
        m_btnSave.setEnabled(true);
    }
    update();
    emit auditFinished(m_nAuditState);
}

void CQuorvelDlg::OnSavePhoto() {
    m_btnSave.SetBitmap(loadPicture(pictures::kSaveButtonDisabled));

    if (const std::optional<QString> pathName = m_pDialogs->GetSavePath()) {
        const SaveResult result =
            SaveProcessedPhoto(m_processedPhoto, ToThreadAnsiPath(pathName->toStdWString()));
        if (!result.ok) {
            m_pDialogs->ShowMessage(SaveFailureMessage(result));
            // The accepted photo stays, so that another folder or name can be tried.
            m_btnSave.SetBitmap(loadPicture(pictures::kSaveButton));
            return;
        }
    }

    // The next step is another photo: a keyboard user on Save moves to Open.
    const bool saveHadFocus = focusWidget() == &m_btnSave;
    m_btnSave.setEnabled(false);
    if (saveHadFocus) m_btnOpen.setFocus();
    m_nAuditState = AUDIT_INITIAL;
    update();
}
