#pragma once

#include <QColor>
#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QMetaType>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>

#include "core/session/Session.h"
#include "gui/PictureButton.h"
#include "gui/RecentFolder.h"
#include "gui/UserDialogs.h"

class QLabel;
class QMimeData;

namespace quorvel::gui {

class AccessiblePart;
class AuditWorker;
class FolderLink;
class ResultNotice;

// The main window: a frameless 800 x 600 window whose whole area is the
// screen picture of the current audit state, with the Open photo, Save photo
// and Exit picture buttons ("openButton", "saveButton", "exitButton") on the
// right. Esc, Exit and the window menu's Close reject it. An image file
// dropped on it is audited; Ctrl+O opens a photo, Ctrl+S saves; dragging its
// banner moves it. What the pictures say is also told to assistive
// technology: the title as the window's name, the instructions as a text of
// their own ("instructions", also the window's description until it is
// first left), the result panel as a notification ("resultNotice") that is
// announced with every verdict, the waiting state and every save. After a
// dialog the new state is told before the focus.
class MainWindow : public QDialog {
    Q_OBJECT

public:
    // Without dialogs of its own the window asks the user through Qt's.
    explicit MainWindow(std::unique_ptr<UserDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Places the window and its buttons, starts the session (the face
    // cascade and the configuration from the working directory, in that
    // order) and logs the start. false after the first failed check, whose message has been shown;
    // the window must not be shown then.
    bool startUp();

    quorvel::Verdict auditState() const { return m_auditState; }
    const cv::Mat& processedPhoto() const { return m_processedPhoto; }
    bool isAuditRunning() const { return m_auditRunning; }
    // What the last audit measured against its limit, shown under the reason
    // of a rejection; empty when there is none.
    const QString& measuredText() const { return m_measuredText; }
    // The advice under the result panel after a pass; empty when there is none.
    const QString& adviceText() const { return m_adviceText; }
    // The line under the buttons after a save: the folder's name and the
    // file's; empty when there is none.
    QString savedText() const;
    // The line that says the last verdict did not reach the activity log;
    // empty while it does.
    QString logText() const;
    // The lines the result panel tells assistive technology.
    QStringList noticeLines() const;

public slots:
    // Audits the photo at path as if it had been chosen with Open photo.
    // Ignored before a successful startUp and while an audit runs.
    void auditFile(const QString& path);
    void auditFile(const std::filesystem::path& path);

public:
    static const QString kScreenTooSmallMessage;

signals:
    // A verdict has been applied to the window.
    void auditFinished(quorvel::Verdict verdict);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool acceptsDrop(const QMimeData* data) const;
    void openPhoto();
    void startAudit();
    void applyVerdict(const quorvel::AuditReport& report, bool alreadyProcessed);
    // What the result panel says now: the one place that words the waiting
    // state, a verdict and a save for assistive technology.
    QStringList resultLines() const;
    void announceResult();
    // Right after a dialog, while the window waits to be active again: the
    // window itself takes the keyboard focus (a screen reader says nothing
    // of it) and the focused button keeps its ring, so that the verdict is
    // heard before the focus.
    void holdFocusForResult();
    void releaseHeldFocus();
    // Parts of the constructor: the three buttons, the saved line, and the
    // objects that read the result panel out.
    void setUpButtons();
    void setUpSavedLine();
    void setUpLogLine();
    void setUpAccessibleParts();
    void savePhoto();
    // True when the photo may be saved under this name: a format the
    // registration side accepts, or the user's answer to the question.
    bool saveFormatAccepted(const std::filesystem::path& target);
    void showWindowMenu(const QPoint& globalPos, bool byKeyboard);
    void showAboutBox();
    void setAuditRunning(bool running);
    void showSavedLine(const QString& path);
    // Shows the log line for a failure to log, or hides it.
    void showLogOutcome(const quorvel::Result<void>& logged);
    // After a dialog: the window is active again, with the focus on a button.
    void takeFocusBack();

    QIcon m_icon;
    quorvel::Verdict m_auditState = quorvel::Verdict::Initial;
    std::filesystem::path m_photoPath;
    std::shared_ptr<quorvel::Session> m_session;  // set by a successful startUp; shared
                                                  // with a running audit
    QString m_measuredText;
    QRect m_measuredRect;
    QString m_adviceText;
    cv::Mat m_processedPhoto;
    PictureButton m_openButton;
    PictureButton m_exitButton;
    PictureButton m_saveButton;
    FolderLink* m_savedLabel = nullptr;  // a child: the line under the buttons after a save
    QLabel* m_logLabel = nullptr;        // a child: shown while verdicts are not logged
    QString m_savedFolder;
    RecentFolder m_recentFolder;
    ResultNotice* m_notice = nullptr;         // a child: the result panel as text
    AccessiblePart* m_photoPart = nullptr;    // a child: the processed photo, when shown
    bool m_alreadyProcessed = false;          // the last photo carries a verified pass marker
    bool m_hasBeenActive = false;             // the window has been active once
    PictureButton* m_focusHeldFor = nullptr;  // see holdFocusForResult
    QTimer m_waitingAnnouncement;             // tells a long audit after a dialog

    std::unique_ptr<UserDialogs> m_dialogs;
    bool m_auditRunning = false;
    // Where the mouse holds the window while the banner is dragged by hand.
    std::optional<QPoint> m_dragOffset;
    // A running audit is abandoned when the window goes.
    std::unique_ptr<AuditWorker> m_auditWorker;
};

}  // namespace quorvel::gui

Q_DECLARE_METATYPE(quorvel::Verdict)
