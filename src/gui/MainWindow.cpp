#include "gui/MainWindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include "gui/AboutDialog.h"
#include "gui/Accessibility.h"
#include "gui/AuditWorker.h"
#include "gui/FailureMessages.h"
#include "gui/MeasuredLine.h"
#include "gui/Pictures.h"
#include "gui/QtUserDialogs.h"
#include "gui/ScreenTexts.h"

namespace quorvel::gui {

const QString MainWindow::kScreenTooSmallMessage =
    QStringLiteral("屏幕分辨率太小，需要设置大的屏幕分辨率！");

namespace {

// The size the window has until start-up places it at 800 x 600. A screen
// smaller than this both ways is too small for the window.
constexpr QSize kInitialSize(578, 414);

constexpr QRect kWindowRect(0, 0, 800, 600);
constexpr QRect kOpenButtonRect(520, 100, 197, 48);
constexpr QRect kSaveButtonRect(520, 188, 197, 48);
constexpr QRect kExitButtonRect(520, 276, 197, 48);

}  // namespace

MainWindow::MainWindow(std::unique_ptr<UserDialogs> dialogs, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      m_icon(appIcon()),
      m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<QtUserDialogs>(this)),
      m_auditWorker(std::make_unique<AuditWorker>()) {
    // Before anything asks for the window's interface: its role comes from there.
    installAccessibleParts();
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Quorvel"));
    setWindowIcon(m_icon);
    resize(kInitialSize);
    setAcceptDrops(true);
    // Read out as the window's title; the instructions under the panels
    // come with it when the window first appears (see changeEvent).
    setAccessibleName(kToolTitle);
    setAccessibleDescription(kInstructions);

    setUpButtons();
    setUpSavedLine();
    setUpLogLine();
    setUpAccessibleParts();

    connect(&m_openButton, &QAbstractButton::clicked, this, &MainWindow::openPhoto);
    connect(&m_saveButton, &QAbstractButton::clicked, this, &MainWindow::savePhoto);
    connect(&m_exitButton, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(m_auditWorker.get(), &AuditWorker::audited, this, &MainWindow::applyVerdict);

    // Alt+Space opens the window menu, as it would on a window with a frame.
    auto* windowMenuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(windowMenuKey, &QShortcut::activated, this,
            [this] { showWindowMenu(mapToGlobal(QPoint(0, 0)), true); });
}

void MainWindow::setUpButtons() {
    // The buttons join the window in the order of the Tab key: Open, Save,
    // Exit. Assistive technology lists them in that order too.
    for (PictureButton* button : {&m_openButton, &m_saveButton, &m_exitButton}) {
        button->setParent(this);
    }
    m_openButton.setObjectName(QStringLiteral("openButton"));
    m_saveButton.setObjectName(QStringLiteral("saveButton"));
    m_exitButton.setObjectName(QStringLiteral("exitButton"));
    m_openButton.setAccessibleName(QStringLiteral("打开照片"));
    m_saveButton.setAccessibleName(QStringLiteral("保存照片"));
    m_exitButton.setAccessibleName(QStringLiteral("退出系统"));
    m_openButton.setAccessibleDescription(QStringLiteral("选择要审核的源照片文件"));
    m_saveButton.setAccessibleDescription(QStringLiteral("保存审核通过的照片"));
    m_exitButton.setAccessibleDescription(QStringLiteral("关闭本工具"));
    // The usual keys of the two photo commands, on the buttons themselves;
    // the Save key does nothing while the button is disabled.
    m_openButton.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_saveButton.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    // Disabled, the Save button shows a greyed picture of its own.
    m_saveButton.setFadeWhenDisabled(false);
}

void MainWindow::setUpSavedLine() {
    // Where the saved photo went, a link that shows its folder.
    m_savedLabel = new FolderLink(this);
    m_savedLabel->setObjectName(QStringLiteral("savedLabel"));
    m_savedLabel->setGeometry(kSavedLineRect);
    m_savedLabel->setAlignment(Qt::AlignCenter);
    m_savedLabel->setTextFormat(Qt::RichText);
    QFont savedFont(QStringLiteral("Noto Sans CJK SC"));
    savedFont.setPixelSize(kSavedLinePixelSize);
    m_savedLabel->setFont(savedFont);
    QPalette savedPalette = m_savedLabel->palette();
    savedPalette.setColor(QPalette::WindowText, kSavedLineColor);
    savedPalette.setColor(QPalette::Link, kSavedLineColor);
    m_savedLabel->setPalette(savedPalette);
    m_savedLabel->setAccessibleDescription(QStringLiteral("打开照片所在的文件夹"));
    m_savedLabel->hide();
    connect(m_savedLabel, &FolderLink::activated, this, [this] {
        if (!m_dialogs->showFolder(m_savedFolder)) {
            m_dialogs->showMessage(folderNotShownMessage(m_savedFolder));
        }
        takeFocusBack();
    });
}

void MainWindow::setUpLogLine() {
    m_logLabel = new QLabel(this);
    m_logLabel->setObjectName(QStringLiteral("logLabel"));
    m_logLabel->setGeometry(kLogLineRect);
    m_logLabel->setAlignment(Qt::AlignCenter);
    m_logLabel->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(kSavedLinePixelSize);
    m_logLabel->setFont(font);
    QPalette palette = m_logLabel->palette();
    palette.setColor(QPalette::WindowText, kLogLineColor);
    m_logLabel->setPalette(palette);
    m_logLabel->hide();
}

void MainWindow::showLogOutcome(const quorvel::Result<void>& logged) {
    if (logged) {
        m_logLabel->clear();
        m_logLabel->hide();
        return;
    }
    m_logLabel->setText(logFailureLine(logged.error()));
    m_logLabel->show();
}

QString MainWindow::logText() const { return m_logLabel->text(); }

MainWindow::~MainWindow() {
    if (m_auditRunning) QApplication::restoreOverrideCursor();
}

bool MainWindow::startUp() {
    const QSize initialSize = size();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize(0, 0);

    setFixedSize(kWindowRect.size());
    setGeometry(kWindowRect);
    update();

    if (screenSize.width() < initialSize.width() && screenSize.height() < initialSize.height()) {
        m_dialogs->showMessage(kScreenTooSmallMessage);
        return false;
    }

    m_openButton.setGeometry(kOpenButtonRect);
    m_openButton.setPicture(pictures::kOpenButton);
    m_saveButton.setGeometry(kSaveButtonRect);
    m_saveButton.setEnabled(false);
    m_saveButton.setPicture(pictures::kSaveButtonDisabled);
    m_exitButton.setGeometry(kExitButtonRect);
    m_exitButton.setPicture(pictures::kExitButton);

    quorvel::Result<quorvel::Session> opened =
        quorvel::Session::Open(quorvel::WindowSessionOptions());
    if (!opened) {
        m_dialogs->showMessage(startupFailureMessage(opened.error()),
                               startupFailureDetail(opened.error()));
        return false;
    }
    m_session = std::make_shared<quorvel::Session>(std::move(opened).value());
    // A log that cannot be opened leaves the window running without it, and
    // the window says so.
    showLogOutcome(m_session->OpenLogWithStartupLine());
    m_openButton.setFocus();
    announceResult();
    return true;
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    showWindowMenu(event->globalPos(), event->reason() == QContextMenuEvent::Keyboard);
}

// The window menu of a frameless window: what the title bar's menu offers.
void MainWindow::showWindowMenu(const QPoint& globalPos, bool byKeyboard) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("windowMenu"));
    QAction* minimize = menu.addAction(QStringLiteral("最小化(&N)"));
    QAction* close = menu.addAction(QStringLiteral("关闭(&C)"));
    // Shown in the menu's key column; the window manager closes on it as well.
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    menu.addSeparator();
    const QAction* about = menu.addAction(QStringLiteral("关于 Quorvel(&A)..."));

    if (byKeyboard) {
        // Opened by a key, the menu starts on its first entry, which a
        // screen reader then says: otherwise it would say nothing at all.
        QTimer::singleShot(0, &menu, [&menu, minimize] { menu.setActiveAction(minimize); });
    }
    const QAction* chosen = menu.exec(globalPos);
    if (chosen == about) {
        showAboutBox();
    } else if (chosen == minimize) {
        showMinimized();
    } else if (chosen == close) {
        reject();
    }
}

void MainWindow::showAboutBox() {
    AboutDialog about(m_icon, this);
    about.exec();
    takeFocusBack();
}

void MainWindow::takeFocusBack() {
    // Without a window manager nobody else hands the focus back after a
    // dialog, and the keys would reach nothing until the window is clicked.
    activateWindow();
    QWidget* focus = focusWidget();
    if (focus == nullptr || !focus->isEnabled() || !focus->isVisible()) {
        focus = &m_openButton;
    }
    focus->setFocus(Qt::OtherFocusReason);
}

}  // namespace quorvel::gui
