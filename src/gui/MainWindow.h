#pragma once

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QRect>
#include <QString>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <string>

#include "gui/PictureButton.h"
#include "gui/UserDialogs.h"

class CAuditThread;
class QPainter;
class QThread;
struct AuditOutcome;

// The main window: a frameless 800 x 600 window whose whole client area is
// the screen picture of the current audit state, with the Open photo, Save
// photo and Exit picture buttons on the right.
class CQuorvelDlg : public QDialog {
    Q_OBJECT

public:
    // Without dialogs of its own the window asks the user through Qt's.
    explicit CQuorvelDlg(QWidget* pParent = nullptr,
                         std::unique_ptr<IUserDialogs> dialogs = nullptr);
    ~CQuorvelDlg() override;

    // Initialises the window and runs it modally. When a start-up check
    // fails the process ends here, with exit status 0.
    int DoModal();

    // The start-up checks in their fixed order; false after the first failure,
    // whose message has been shown.
    bool StartupCheck();

    // Commands of the window menu: IDM_ABOUTBOX, SC_MINIMIZE, SC_CLOSE.
    void OnSysCommand(int nID);

    // The control with the given identifier (IDC_OPEN_PHOTO, IDC_SAVE_PHOTO,
    // IDC_EXIT), or nullptr.
    CPictureButton* GetDlgItem(int nID);

    int GetAuditState() const { return m_nAuditState; }
    const cv::Mat& GetProcessedPhoto() const { return m_processedPhoto; }
    bool IsAuditRunning() const { return m_bAuditRunning; }
    // The one thread every audit runs on (started by the first audit).
    QThread* GetAuditThread() const;

    static const QString kScreenTooSmallMessage;
    static const QString kCascadeMissingMessage;
    static const QString kNoConfigMessage;

signals:
    // A verdict has been applied to the window.
    void auditFinished(int state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void MessageTable();
    bool OnInitDialog();

    // Background painting: the screen picture of m_nAuditState.
    bool OnEraseBkgnd(QPainter& dc);
    void OnPaint(QPainter& dc);
    QImage ComposeResultPanel(const QImage& successPicture) const;

    void OnOpenPhoto();
    void RunAudit();
    void OnAuditFinished(const AuditOutcome& outcome);
    void OnSavePhoto();
    void OnExit();
    void ShowSystemMenu(const QPoint& globalPos);
    void SetAuditRunning(bool running);

    QIcon m_hIcon;
    QRect m_rcClient;
    int m_nAuditState;
    QString m_strPathName;
    QString m_strFileName;
    std::string m_strCascadeFile;
    cv::CascadeClassifier m_faceCascade;
    cv::Mat m_processedPhoto;
    CPictureButton m_btnOpen;
    CPictureButton m_btnExit;
    CPictureButton m_btnSave;
    int m_nColor;
    int m_nSize;

    std::unique_ptr<IUserDialogs> m_pDialogs;
    bool m_bAuditRunning = false;
    // Declared last so that it is destroyed first: it waits for a running
    // audit, which uses m_faceCascade.
    std::unique_ptr<CAuditThread> m_pAuditThread;
};
