#include "gui/MainWindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <cstdlib>

#include "app/Config.h"
#include "app/Log.h"
#include "audit/AuditState.h"
#include "audit/FaceDetect.h"
#include "gui/AboutDialog.h"
#include "gui/AuditWorker.h"
#include "gui/DialogUnits.h"
#include "gui/Pictures.h"
#include "gui/QtUserDialogs.h"
#include "gui/Resource.h"

const QString CQuorvelDlg::kScreenTooSmallMessage =
    QStringLiteral("屏幕分辨率太小，需要设置大的屏幕分辨率！");
const QString CQuorvelDlg::kCascadeMissingMessage = QStringLiteral("文件缺失，请重新下载！");
const QString CQuorvelDlg::kNoConfigMessage = QStringLiteral("没有配置文件！");

namespace {

constexpr QRect kWindowRect(0, 0, 800, 600);
constexpr QRect kOpenButtonRect(520, 100, 197, 48);
constexpr QRect kSaveButtonRect(520, 188, 197, 48);
constexpr QRect kExitButtonRect(520, 276, 197, 48);

}  // namespace

CQuorvelDlg::CQuorvelDlg(QWidget* pParent, std::unique_ptr<IUserDialogs> dialogs)
    : QDialog(pParent, Qt::Window | Qt::FramelessWindowHint),
      m_hIcon(appIcon()),
      m_rcClient(0, 0, 0, 0),
      m_nAuditState(AUDIT_INITIAL),
      m_strCascadeFile(kCascadeFileName),
      m_btnOpen(this),
      m_btnExit(this),
      m_btnSave(this),
      m_nColor(1),
      m_nSize(0),  // read from the configuration by StartupCheck
      m_pDialogs(dialogs ? std::move(dialogs) : std::make_unique<CQtUserDialogs>(this)),
      m_pAuditThread(std::make_unique<CAuditThread>(m_faceCascade)) {
    setWindowTitle(QStringLiteral("Quorvel"));
    // The template's size, until StartupCheck measures it and resizes the window.
    resize(kTemplateClientSize);

    m_btnOpen.setAccessibleName(QStringLiteral("打开照片"));
    m_btnSave.setAccessibleName(QStringLiteral("保存照片"));
    m_btnExit.setAccessibleName(QStringLiteral("退出系统"));
    // Disabled, the Save button shows a greyed picture of its own.
    m_btnSave.SetFadeWhenDisabled(false);
    setTabOrder(&m_btnOpen, &m_btnSave);
    setTabOrder(&m_btnSave, &m_btnExit);

    MessageTable();
}

CQuorvelDlg::~CQuorvelDlg() {
    if (m_bAuditRunning) QApplication::restoreOverrideCursor();
}

// Every signal the window answers, in one place.
void CQuorvelDlg::MessageTable() {
    connect(&m_btnOpen, &QAbstractButton::clicked, this, &CQuorvelDlg::OnOpenPhoto);
    connect(&m_btnSave, &QAbstractButton::clicked, this, &CQuorvelDlg::OnSavePhoto);
    connect(&m_btnExit, &QAbstractButton::clicked, this, &CQuorvelDlg::OnExit);
    connect(m_pAuditThread.get(), &CAuditThread::Audited, this, &CQuorvelDlg::OnAuditFinished);

    // Alt+Space opens the window menu, as it would on a window with a frame.
    auto* windowMenuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(windowMenuKey, &QShortcut::activated, this,
            [this] { ShowSystemMenu(mapToGlobal(QPoint(0, 0))); });
}

int CQuorvelDlg::DoModal() {
    OnInitDialog();
    m_btnOpen.setFocus();
    return exec();
}

bool CQuorvelDlg::OnInitDialog() {
    // The window menu with its About entry is the context menu (ShowSystemMenu).
    setWindowIcon(m_hIcon);
    if (!StartupCheck()) std::exit(0);
    return true;
}

bool CQuorvelDlg::StartupCheck() {
    const QSize client = rect().size();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize(0, 0);

    setFixedSize(kWindowRect.size());
    setGeometry(kWindowRect);
    update();

    if (screenSize.width() < client.width() && screenSize.height() < client.height()) {
        m_pDialogs->ShowMessage(kScreenTooSmallMessage);
        return false;
    }

    m_btnOpen.setGeometry(kOpenButtonRect);
    m_btnOpen.update();
    m_btnOpen.SetBitmap(loadPicture(pictures::kOpenButton));

    m_btnSave.setGeometry(kSaveButtonRect);
    m_btnSave.update();
    const QImage greySave = loadPicture(pictures::kSaveButtonDisabled);
    m_btnSave.setEnabled(false);
    m_btnSave.SetBitmap(greySave);

    m_btnExit.setGeometry(kExitButtonRect);
    m_btnExit.update();
    m_btnExit.SetBitmap(loadPicture(pictures::kExitButton));

    if (!LoadFaceCascade(m_strCascadeFile, m_faceCascade).empty()) {
        m_pDialogs->ShowMessage(kCascadeMissingMessage);
        return false;
    }

    const QuorvelSettings settings = ReadSettings(kDefaultConfigPath);
    if (!settings.Opened()) {
        m_pDialogs->ShowMessage(kNoConfigMessage);
        return false;
    }
    m_nColor = settings.color;
    m_nSize = settings.size;

    if (g_log.Open() != nullptr) g_log.Write(L"%ls\r\n", L"系统启动");
    return true;
}

CPictureButton* CQuorvelDlg::GetDlgItem(int nID) {
    switch (nID) {
        case IDC_OPEN_PHOTO:
            return &m_btnOpen;
        case IDC_SAVE_PHOTO:
            return &m_btnSave;
        case IDC_EXIT:
            return &m_btnExit;
        default:
            return nullptr;
    }
}

QThread* CQuorvelDlg::GetAuditThread() const { return m_pAuditThread->Thread(); }

void CQuorvelDlg::contextMenuEvent(QContextMenuEvent* event) { ShowSystemMenu(event->globalPos()); }

void CQuorvelDlg::ShowSystemMenu(const QPoint& globalPos) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("最小化(&N)"))->setData(SC_MINIMIZE);
    menu.addAction(QStringLiteral("关闭(&C)\tAlt+F4"))->setData(SC_CLOSE);
    menu.addSeparator();
    menu.addAction(QString::fromUtf8(kAboutMenuText))->setData(IDM_ABOUTBOX);
    if (const QAction* chosen = menu.exec(globalPos)) OnSysCommand(chosen->data().toInt());
}

void CQuorvelDlg::OnSysCommand(int nID) {
    switch (nID & 0xFFF0) {
        case IDM_ABOUTBOX: {
            CAboutDlg dlgAbout(m_hIcon, this);
            dlgAbout.exec();
            break;
        }
        case SC_MINIMIZE:
            showMinimized();
            break;
        case SC_CLOSE:
            reject();
            break;
        default:
            break;
    }
}

void CQuorvelDlg::OnExit() { reject(); }
