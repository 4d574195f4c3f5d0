// The main window with its dialogs answered by a fake: the screens it paints,
// its buttons, the open, audit and save flows, and its keyboard and menu.
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <functional>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "FakeDialogs.h"
#include "UiTestSupport.h"
#include "core/audit/Auditor.h"
#include "core/explain/Explanation.h"
#include "core/save/SavePhoto.h"
#include "gui/AuditWorker.h"
#include "gui/MainWindow.h"
#include "gui/MeasuredLine.h"
#include "gui/PictureButton.h"
#include "gui/Pictures.h"
#include "gui/WaitingPanel.h"
#include "support/FileSizeLimit.h"

using namespace quorvel::gui;

using uitest::DataFile;
using uitest::ExpectedScreen;

using quorvel::Verdict;

namespace {

cv::CascadeClassifier testsupportCascade() { return cv::CascadeClassifier(QUORVEL_TEST_CASCADE); }

const QRect kWindow(0, 0, 800, 600);

// Pixels where the painted window differs from the expected screen, leaving
// out the excluded rectangles.
int Differences(QWidget& window, const QImage& expected, const QList<QRect>& excluded = {}) {
    const QImage painted = window.grab().toImage();
    return uitest::CountDifferences(painted, expected, kWindow, excluded);
}

// The success screen as it must look: the passed screen with the processed photo
// stretched bilinearly into the result frame.
QImage ExpectedPassedScreen(const cv::Mat& processedPhoto, bool saveEnabled) {
    QImage screen = ExpectedScreen(QStringLiteral("passed"), saveEnabled);
    cv::Mat stretched;
    cv::resize(processedPhoto, stretched, cv::Size(177, 228), 0, 0, cv::INTER_LINEAR);
    QPainter(&screen).drawImage(QPoint(280, 83), uitest::BgrToRgb32(stretched));
    return screen;
}

const QRect kResultFrame(280, 83, 177, 228);

// Whether the result frame of the painted window holds the waiting panel: the
// panel colour all around, with the text's darker pixels in its middle.
bool ShowsWaitingPanel(const QImage& painted) {
    const QRgb panel = kWaitingPanelColor.rgb();
    int textPixels = 0;
    for (int y = kResultFrame.top(); y <= kResultFrame.bottom(); ++y) {
        for (int x = kResultFrame.left(); x <= kResultFrame.right(); ++x) {
            const QRgb pixel = painted.pixel(x, y) | 0xFF000000u;
            if (pixel == panel) continue;
            const bool middleBand =
                y >= kResultFrame.center().y() - 30 && y <= kResultFrame.center().y() + 30;
            if (!middleBand) return false;
            if (qGray(pixel) < qGray(panel)) ++textPixels;
        }
    }
    return textPixels > 20;
}

// Runs act on the widget find returns, once a modal dialog's or a menu's
// event loop shows it.
void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, find, act] {
        if (QWidget* widget = find()) {
            timer->deleteLater();
            timer->stop();
            act(widget);
        }
    });
    timer->start();
}

struct Window {
    std::unique_ptr<MainWindow> window;
    FakeDialogs* dialogs = nullptr;
    QAbstractButton* open = nullptr;
    QAbstractButton* save = nullptr;
    QAbstractButton* exit = nullptr;
};

// A window after a successful start-up in the current directory.
Window Make() {
    Window w;
    auto dialogs = std::make_unique<FakeDialogs>();
    w.dialogs = dialogs.get();
    w.window = std::make_unique<MainWindow>(std::move(dialogs));
    w.open = w.window->findChild<QAbstractButton*>(QStringLiteral("openButton"));
    w.save = w.window->findChild<QAbstractButton*>(QStringLiteral("saveButton"));
    w.exit = w.window->findChild<QAbstractButton*>(QStringLiteral("exitButton"));
    if (!w.open || !w.save || !w.exit || !w.window->startUp()) w.window.reset();
    return w;
}

// Opens the photo through the Open button and waits for its verdict.
int Audit(Window& w, const QString& path) {
    QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
    w.dialogs->openAnswers.push_back(path);
    w.open->click();
    return finished.wait(120000) ? int(finished.first().at(0).value<Verdict>()) : -1;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_startDir;

    QString WorkFile(const QString& name) const { return m_work.filePath(name); }
    QByteArray Log() const { return uitest::ReadAll(WorkFile(QStringLiteral("Test.log"))); }

    // A large photo without a face: the detector is still at work on it when
    // the window is closed.
    QString LargePhoto() {
        const QString path = WorkFile(QStringLiteral("large.jpg"));
        cv::Mat gradient(2400, 1800, CV_8UC3);
        for (int y = 0; y < gradient.rows; ++y) {
            gradient.row(y).setTo(cv::Scalar(y % 256, (y / 4) % 256, 128));
        }
        if (!QFile::exists(path)) cv::imwrite(path.toStdString(), gradient);
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_work.isValid());
        uitest::PrepareWorkDir(m_work.path(), true, &uitest::kDefaultConfig);
        // The remembered folder goes to settings of the test's own.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           m_work.filePath(QStringLiteral("settings")));
        m_startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_work.path()));
    }

    void cleanupTestCase() { QDir::setCurrent(m_startDir); }

    void freshWindowShowsTheInitialScreen() {
        Window w = Make();
        QVERIFY(w.window);
        QVERIFY(w.dialogs->messages.isEmpty());
        QCOMPARE(w.window->geometry(), kWindow);
        QVERIFY(w.window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(w.open->isEnabled() && w.exit->isEnabled() && !w.save->isEnabled());
        uitest::SaveScreenshot(w.window->grab().toImage(), QStringLiteral("initial"));
        QCOMPARE(Differences(*w.window, ExpectedScreen(QStringLiteral("initial"), false)), 0);

        // The window's session opened the log and wrote the start-up line once.
        QCOMPARE(Log().count(uitest::LogMessage("系统启动")), 1);
    }

    void passedPhotoIsShownInTheResultFrame() {
        Window w = Make();
        QVERIFY(w.window);
        const QString blue = DataFile(QStringLiteral("id_blue.jpg"));
        QCOMPARE(Audit(w, blue), int(Verdict::Passed));
        QVERIFY(Log().endsWith("\t" + uitest::LogMessage("id_blue.jpg图像审核成功！")));
        QVERIFY(w.save->isEnabled());

        // The window holds the photo the chain makes of this file.
        quorvel::Auditor auditor(testsupportCascade(),
                                 {quorvel::BackgroundColor::Any, quorvel::SizeMode::Mode1});
        const cv::Mat reference = auditor.Audit(blue.toStdString()).processedPhoto;
        const cv::Mat& photo = w.window->processedPhoto();
        QVERIFY(!reference.empty() && photo.size() == reference.size());
        QCOMPARE(cv::norm(photo, reference, cv::NORM_INF), 0.0);
        uitest::SaveScreenshot(w.window->grab().toImage(), QStringLiteral("passed"));
        QCOMPARE(Differences(*w.window, ExpectedPassedScreen(photo, true)), 0);

        // Open, then cancel: the window stays exactly as it was, the result
        // still ready to be saved, and nothing is logged.
        const QByteArray logBefore = Log();
        w.open->click();
        QVERIFY(w.save->isEnabled());
        QCOMPARE(int(w.window->auditState()), int(Verdict::Passed));
        QCOMPARE(Log(), logBefore);
        QCOMPARE(Differences(*w.window, ExpectedPassedScreen(photo, true)), 0);

        // A rejected photo next replaces the result; the old photo is not drawn.
        QCOMPARE(Audit(w, DataFile(QStringLiteral("portrait.jpg"))), int(Verdict::TooSmall));
        QVERIFY(!w.save->isEnabled());
        QCOMPARE(Differences(*w.window, ExpectedScreen(QStringLiteral("too-small"), false),
                             {kMeasuredLineArea}),
                 0);
    }

    void rejectedPhotosShowTheirScreens_data() {
        QTest::addColumn<QString>("photo");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("logText");
        QTest::addColumn<QString>("measured");  // the line under the reason
        QTest::addColumn<int>("reasonBottom");  // the last row of the reason's text
        const QByteArray standard = uitest::kDefaultConfig;
        const QString blue = DataFile(QStringLiteral("id_blue.jpg"));
        const QString portrait = DataFile(QStringLiteral("portrait.jpg"));
        // The measured line is the core's sentence for the rule that decided
        // (the sentences: SentencesTest).
        const auto said = [](const quorvel::Explanation& e) {
            return QString::fromStdString(e.text);
        };
        QTest::newRow("not an image, % in its name")
            << QStringLiteral("text %d.jpg") << standard << int(Verdict::BadFormat)
            << QStringLiteral("bad-format") << QStringLiteral("文件格式不符合要求！")
            << said(quorvel::ExplainDecision(quorvel::DecideUnreadable())) << 239;
        QTest::newRow("file too short")
            << portrait << standard << int(Verdict::TooSmall) << QStringLiteral("too-small")
            << QStringLiteral("图像大小或者尺寸不符合要求！")
            << said(quorvel::ExplainDecision(quorvel::DecideFileLength(
                   static_cast<std::uintmax_t>(QFileInfo(portrait).size()))))
            << 239;
        QTest::newRow("wrong background")
            << blue << QByteArray("[set]\ncolor=0\n") << int(Verdict::BadBackground)
            << QStringLiteral("bad-background") << QStringLiteral("不是纯背景，或者不是红蓝白！")
            << said(quorvel::ExplainDecision(quorvel::DecideBackgroundSetting(
                   quorvel::BackgroundColor::Blue, quorvel::BackgroundColor::White)))
            << 213;
        QTest::newRow("head proportion (size mode 3 frames nothing)")
            << blue << QByteArray("[set]\nsize=3\n") << int(Verdict::BadProportion)
            << QStringLiteral("bad-proportion") << QStringLiteral("图像比例不符合要求！")
            << said(quorvel::ExplainDecision(quorvel::DecideSizeSetting(3))) << 239;
        QTest::newRow("no face") << DataFile(QStringLiteral("no_face.jpg")) << standard
                                 << int(Verdict::NoFace) << QStringLiteral("no-face")
                                 << QStringLiteral("不是纯背景，或者背景复杂，识别出错！")
                                 << said(quorvel::ExplainDecision(quorvel::DecideFaceCount(0)))
                                 << 213;
    }
    void rejectedPhotosShowTheirScreens() {
        QFETCH(QString, photo);
        QFETCH(QByteArray, config);
        QFETCH(int, state);
        QFETCH(QString, screen);
        QFETCH(QString, logText);
        QFETCH(QString, measured);
        QFETCH(int, reasonBottom);
        if (QFileInfo(photo).isRelative()) {
            photo = WorkFile(photo);
            uitest::WriteAll(photo, "this is not a photo");
        }
        uitest::WriteAll(WorkFile(QStringLiteral("cfg.ini")), config);
        Window w = Make();
        uitest::WriteAll(WorkFile(QStringLiteral("cfg.ini")), uitest::kDefaultConfig);
        QVERIFY(w.window);

        QCOMPARE(Audit(w, photo), state);
        QCOMPARE(int(w.window->auditState()), state);
        QVERIFY(!w.save->isEnabled());
        uitest::SaveScreenshot(w.window->grab().toImage(), screen);
        // The screen picture, with the measured line in the card under the
        // reason, clear of it and whole above the frame's bottom.
        QCOMPARE(w.window->measuredText(), measured);
        QCOMPARE(Differences(*w.window, ExpectedScreen(screen, false), {kMeasuredLineArea}), 0);
        const QRect drawn =
            uitest::DifferenceBounds(w.window->grab().toImage(), ExpectedScreen(screen, false));
        QVERIFY2(
            drawn.top() > reasonBottom + 8 && drawn.bottom() < kResultFrame.bottom(),
            qPrintable(
                QStringLiteral("line drawn at rows %1-%2").arg(drawn.top()).arg(drawn.bottom())));
        QVERIFY(Differences(*w.window, ExpectedScreen(screen, false)) > 20);
        const std::string line = (QFileInfo(photo).fileName() + logText).toStdString();
        QVERIFY(Log().endsWith("\t" + uitest::LogMessage(line)));
    }

    void savingEndsTheResult() {
        Window w = Make();
        QVERIFY(w.window);
        const QString blue = DataFile(QStringLiteral("id_blue.jpg"));

        // Cancelled: nothing is written and the accepted photo stays on
        // screen, ready to be saved.
        QCOMPARE(Audit(w, blue), int(Verdict::Passed));
        const QStringList before = QDir(m_work.path()).entryList(QDir::AllEntries | QDir::Hidden);
        w.save->click();
        QCOMPARE(QDir(m_work.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(int(w.window->auditState()), int(Verdict::Passed));
        QVERIFY(w.save->isEnabled());
        QCOMPARE(Differences(*w.window, ExpectedPassedScreen(w.window->processedPhoto(), true)), 0);

        // Failed (the folder is a regular file, which stops even root): the
        // user is told, and the accepted photo can be saved elsewhere.
        QCOMPARE(Audit(w, blue), int(Verdict::Passed));
        uitest::WriteAll(WorkFile(QStringLiteral("blocker")), "a file, not a folder");
        w.dialogs->saveAnswers.push_back(WorkFile(QStringLiteral("blocker/报名照片.jpg")));
        w.save->click();
        QCOMPARE(w.dialogs->messages.size(), 1);
        QVERIFY(w.dialogs->messages.first().startsWith(QStringLiteral("照片保存失败")));
        QCOMPARE(int(w.window->auditState()), int(Verdict::Passed));
        QVERIFY(w.save->isEnabled());
        const cv::Mat& photo = w.window->processedPhoto();
        QCOMPARE(Differences(*w.window, ExpectedPassedScreen(photo, true)), 0);

        // A format the registration side refuses is asked about first; the
        // default answer writes nothing and keeps the photo.
        const QString tiff = WorkFile(QStringLiteral("报名照片.tif"));
        w.dialogs->saveAnswers.push_back(tiff);
        w.save->click();
        QCOMPARE(w.dialogs->questions.size(), 1);
        QVERIFY(w.dialogs->questions.first().contains(QStringLiteral(".tif ")));
        QVERIFY(!QFileInfo::exists(tiff));
        QCOMPARE(int(w.window->auditState()), int(Verdict::Passed));
        QVERIFY(w.save->isEnabled());

        // Saved: the photo at its own size with the pass marker; back to the start.
        const QString target = WorkFile(QStringLiteral("报名照片.jpg"));
        w.dialogs->saveAnswers.push_back(target);
        w.save->click();
        QCOMPARE(w.dialogs->messages.size(), 1);
        QCOMPARE(w.dialogs->questions.size(), 1);
        const std::string narrow = target.toStdString();
        QVERIFY(quorvel::HasPassMarker(narrow));
        QCOMPARE(cv::imread(narrow, cv::IMREAD_COLOR).size(), photo.size());
        QCOMPARE(int(w.window->auditState()), int(Verdict::Initial));
        QVERIFY(!w.save->isEnabled());
        QCOMPARE(w.window->savedText(), QStringLiteral("已保存：") + QDir(m_work.path()).dirName() +
                                            QStringLiteral("/报名照片.jpg"));
        QCOMPARE(Differences(*w.window, ExpectedScreen(QStringLiteral("initial"), false),
                             {kSavedLineRect}),
                 0);
        uitest::SaveScreenshot(w.window->grab().toImage(), QStringLiteral("saved"));

        // The save dialogs started where the photo came from; a click on the
        // line shows the folder the photo went to.
        QCOMPARE(w.dialogs->startFolders.last(), QFileInfo(blue).absolutePath());
        auto* saved = w.window->findChild<QLabel*>(QStringLiteral("savedLabel"));
        QVERIFY(saved != nullptr && saved->isVisibleTo(w.window.get()));
        QTest::mouseClick(saved, Qt::LeftButton, {}, saved->rect().center() + QPoint(30, 0));
        QCOMPARE(w.dialogs->shownFolders, QStringList{m_work.path()});

        // The next photo's audit takes the line away.
        QCOMPARE(Audit(w, blue), int(Verdict::Passed));
        QCOMPARE(w.window->savedText(), QString());
    }

    // A passed photo whose face is less sharp than advised: the core's advice
    // in the line under the result panel, and last in what the panel
    // announces; a sharp one has neither; a save takes the advice away.
    void blurredPhotoIsPassedWithAdvice() {
        Window w = Make();
        QVERIFY(w.window);
        QCOMPARE(Audit(w, DataFile(QStringLiteral("id_large.jpg"))), int(Verdict::Passed));
        QCOMPARE(w.window->adviceText(), QString());
        QCOMPARE(Differences(*w.window, ExpectedPassedScreen(w.window->processedPhoto(), true)), 0);

        const QString soft = DataFile(QStringLiteral("id_soft.jpg"));
        QCOMPARE(Audit(w, soft), int(Verdict::Passed));
        quorvel::Auditor auditor(testsupportCascade(),
                                 {quorvel::BackgroundColor::Any, quorvel::SizeMode::Mode1});
        const quorvel::AuditReport report = auditor.Audit(soft.toStdString());
        QVERIFY(report.advice);
        const QString advice =
            QString::fromStdString(quorvel::ExplainDecision(*report.advice).text);
        QCOMPARE(w.window->adviceText(), advice);
        QCOMPARE(w.window->noticeLines().last(), advice);
        const QImage expected = ExpectedPassedScreen(w.window->processedPhoto(), true);
        QCOMPARE(Differences(*w.window, expected, {kAdviceLineRect}), 0);
        QVERIFY2(Differences(*w.window, expected) > 100, "the advice is painted in its line");
        uitest::SaveScreenshot(w.window->grab().toImage(), QStringLiteral("advice"));

        w.dialogs->saveAnswers.push_back(WorkFile(QStringLiteral("advised.jpg")));
        w.save->click();
        QCOMPARE(w.window->adviceText(), QString());
        QCOMPARE(Differences(*w.window, ExpectedScreen(QStringLiteral("initial"), false),
                             {kSavedLineRect}),
                 0);
    }

    // The file dialogs start in the folder of the last photo opened, also in
    // the next run, and never in the working folder.
    void dialogsStartInTheLastPhotosFolder() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           m_work.filePath(QStringLiteral("fresh-settings")));
        Window first = Make();
        QVERIFY(first.window);
        first.open->click();
        const QString firstStart = first.dialogs->startFolders.value(0);
        QVERIFY(QFileInfo(firstStart).isDir());
        QVERIFY(QDir(firstStart) != QDir(m_work.path()));

        QVERIFY(QDir(m_work.path()).mkdir(QStringLiteral("照片 夹")));
        const QString photo = WorkFile(QStringLiteral("照片 夹/a.jpg"));
        QVERIFY(QFile::copy(DataFile(QStringLiteral("id_blue.jpg")), photo));
        QCOMPARE(Audit(first, photo), int(Verdict::Passed));
        first.window.reset();

        Window next = Make();
        QVERIFY(next.window);
        next.open->click();
        next.save->click();
        QCOMPARE(next.dialogs->startFolders, QStringList{WorkFile(QStringLiteral("照片 夹"))});

        // A photo in the hidden per-user data folder is not remembered as a start.
        qputenv("XDG_DATA_HOME", m_work.path().toUtf8());
        QVERIFY(QDir(m_work.path()).mkpath(QStringLiteral("quorvel")));
        QCOMPARE(Audit(next, WorkFile(QStringLiteral("quorvel/a.jpg"))), int(Verdict::BadFormat));
        next.open->click();
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(next.dialogs->startFolders.last(), firstStart);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           m_work.filePath(QStringLiteral("settings")));
    }

    // Whenever one of its dialogs closes the window is active again, so that
    // its keys work without a click, even where nobody hands the focus back.
    void dialogsGiveTheFocusBack() {
        Window w = Make();
        QVERIFY(w.window);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QWidget elsewhere;
        w.dialogs->duringDialog = [&elsewhere] {
            elsewhere.show();
            elsewhere.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        };

        QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
        w.dialogs->openAnswers.push_back(DataFile(QStringLiteral("id_blue.jpg")));
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(finished.wait(120000));
        QTRY_VERIFY(w.window->isActiveWindow());

        // Cancelled: Ctrl+S reaches the window at once and asks again.
        QTest::keyClick(w.window.get(), Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(w.window->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), w.save);
        w.dialogs->saveAnswers.push_back(WorkFile(QStringLiteral("focus.jpg")));
        QTest::keyClick(w.window.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(QFileInfo::exists(WorkFile(QStringLiteral("focus.jpg"))));
        QTRY_VERIFY(w.window->isActiveWindow());
    }

    void windowStaysResponsiveDuringAnAudit() {
        Window w = Make();
        QVERIFY(w.window);
        QVERIFY(!ShowsWaitingPanel(w.window->grab().toImage()));
        QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
        w.dialogs->openAnswers.push_back(LargePhoto());
        w.open->click();

        // The click has returned while the audit goes on elsewhere; the
        // window paints, with Save disabled (Open ignores a press, Exit still
        // ends the program), a wait cursor and the waiting panel in the
        // result frame.
        QVERIFY(w.window->isAuditRunning());
        QVERIFY(w.open->isEnabled() && !w.save->isEnabled() && w.exit->isEnabled());
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        uitest::SaveScreenshot(w.window->grab().toImage(), QStringLiteral("auditing"));
        const QList<QRect> buttons = {w.open->geometry(), w.save->geometry(), w.exit->geometry()};
        QCOMPARE(Differences(*w.window, ExpectedScreen(QStringLiteral("initial"), false),
                             buttons + QList<QRect>{kResultFrame}),
                 0);
        QVERIFY(ShowsWaitingPanel(w.window->grab().toImage()));

        QVERIFY(finished.wait(120000));
        QCOMPARE(finished.first().at(0).value<Verdict>(), Verdict::NoFace);
        QVERIFY(!w.window->isAuditRunning());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(w.open->isEnabled() && w.exit->isEnabled() && !w.save->isEnabled());
        QCOMPARE(Differences(*w.window, ExpectedScreen(QStringLiteral("no-face"), false),
                             {kMeasuredLineArea}),
                 0);
    }

    // After a passed photo, the next audit shows the neutral initial screen
    // with the waiting panel in the result frame until the new verdict is
    // shown: nothing on screen speaks of the previous verdict.
    void waitingPanelReplacesThePreviousVerdict() {
        Window w = Make();
        QVERIFY(w.window);
        QCOMPARE(Audit(w, DataFile(QStringLiteral("id_blue.jpg"))), int(Verdict::Passed));
        QVERIFY(!ShowsWaitingPanel(w.window->grab().toImage()));

        QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
        w.dialogs->openAnswers.push_back(LargePhoto());
        w.open->click();
        QVERIFY(w.window->isAuditRunning());
        const QImage waiting = w.window->grab().toImage();
        QVERIFY(ShowsWaitingPanel(waiting));
        const QList<QRect> excluded = {w.open->geometry(), w.exit->geometry(), kResultFrame};
        QCOMPARE(uitest::CountDifferences(waiting, ExpectedScreen(QStringLiteral("initial"), false),
                                          kWindow, excluded),
                 0);

        QVERIFY(finished.wait(120000));
        QVERIFY(!ShowsWaitingPanel(w.window->grab().toImage()));
        QCOMPARE(Differences(*w.window, ExpectedScreen(QStringLiteral("no-face"), false),
                             {kMeasuredLineArea}),
                 0);
    }

    // Files dropped on the window: the first one is audited when it is a
    // local image file; anything else is refused and changes nothing.
    void droppedImageIsAudited_data() {
        QTest::addColumn<QStringList>("urls");  // "local:NAME" is a file of the working folder
        QTest::addColumn<int>("verdict");       // -1: refused
        QTest::newRow("jpg photo")
            << QStringList{QStringLiteral("local:id_blue.jpg")} << int(Verdict::Passed);
        QTest::newRow("upper-case extension")
            << QStringList{QStringLiteral("local:照片.JPEG")} << int(Verdict::Passed);
        QTest::newRow("png extension")
            << QStringList{QStringLiteral("local:no_face.png")} << int(Verdict::NoFace);
        QTest::newRow("several files: the first is audited")
            << QStringList{QStringLiteral("local:no_face.png"), QStringLiteral("local:id_blue.jpg")}
            << int(Verdict::NoFace);
        QTest::newRow("not an image extension")
            << QStringList{QStringLiteral("local:notes.txt")} << -1;
        QTest::newRow("first of several not an image")
            << QStringList{QStringLiteral("local:notes.txt"), QStringLiteral("local:id_blue.jpg")}
            << -1;
        QTest::newRow("remote file")
            << QStringList{QStringLiteral("sftp://host/id_blue.jpg")} << -1;
        QTest::newRow("no file at all") << QStringList{} << -1;
    }
    void droppedImageIsAudited() {
        QFETCH(QStringList, urls);
        QFETCH(int, verdict);
        QVERIFY(QFile::copy(DataFile(QStringLiteral("id_blue.jpg")),
                            WorkFile(QStringLiteral("id_blue.jpg"))) ||
                QFile::exists(WorkFile(QStringLiteral("id_blue.jpg"))));
        QFile::copy(DataFile(QStringLiteral("id_blue.jpg")), WorkFile(QStringLiteral("照片.JPEG")));
        QFile::copy(DataFile(QStringLiteral("no_face.jpg")),
                    WorkFile(QStringLiteral("no_face.png")));
        uitest::WriteAll(WorkFile(QStringLiteral("notes.txt")), "not a photo");

        QMimeData data;
        QList<QUrl> list;
        for (const QString& url : urls) {
            list << (url.startsWith(QStringLiteral("local:"))
                         ? QUrl::fromLocalFile(WorkFile(url.mid(6)))
                         : QUrl(url));
        }
        if (list.isEmpty()) {
            data.setText(QStringLiteral("some text"));
        } else {
            data.setUrls(list);
        }

        Window w = Make();
        QVERIFY(w.window);
        const QByteArray logBefore = Log();
        QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(w.window.get(), &enter);
        QCOMPARE(enter.isAccepted(), verdict >= 0);
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.window.get(), &drop);
        QCOMPARE(drop.isAccepted(), verdict >= 0);

        if (verdict < 0) {
            QVERIFY(!w.window->isAuditRunning());
            QCOMPARE(int(w.window->auditState()), int(Verdict::Initial));
            QCOMPARE(Log(), logBefore);
            return;
        }
        QVERIFY(finished.wait(120000));
        QCOMPARE(int(finished.first().at(0).value<Verdict>()), verdict);
        const QString logged = QUrl(list.first()).fileName();
        // One entry, for the audited file.
        const QByteArray added = Log().mid(logBefore.size());
        QCOMPARE(added.count('\n'), 1);
        QVERIFY(added.contains("\t" + uitest::LogMessage(logged.toStdString()).chopped(2)));
    }

    // A drop while an audit runs is refused: only the running audit is logged.
    void dropIsRefusedDuringAnAudit() {
        Window w = Make();
        QVERIFY(w.window);
        QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
        w.dialogs->openAnswers.push_back(LargePhoto());
        w.open->click();
        QVERIFY(w.window->isAuditRunning());

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(DataFile(QStringLiteral("id_blue.jpg")))});
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(w.window.get(), &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.window.get(), &drop);
        QVERIFY(!drop.isAccepted());

        QVERIFY(finished.wait(120000));
        QCOMPARE(finished.first().at(0).value<Verdict>(), Verdict::NoFace);
        QVERIFY(!finished.wait(500));  // no second audit follows
        QVERIFY(
            Log().endsWith(uitest::LogMessage("large.jpg不是纯背景，或者背景复杂，识别出错！")));
    }

    void closingDuringAnAuditEndsCleanly() {
        Window w = Make();
        QVERIFY(w.window);
        w.window->show();
        const QByteArray logBefore = Log();
        w.dialogs->openAnswers.push_back(LargePhoto());
        w.open->click();
        QVERIFY(w.window->isAuditRunning());

        // Exit works during the audit, and the window goes without waiting
        // for the audit, which is abandoned: its verdict is neither shown
        // nor logged, even once it ends.
        // The audit was still running when the window went: it did not wait.
        const int abandonedBefore = AuditWorker::abandonedAudits();
        QVERIFY(w.exit->isEnabled());
        w.exit->click();
        QVERIFY(!w.window->isVisible());
        w.window.reset();
        QCoreApplication::processEvents();
        QCOMPARE(AuditWorker::abandonedAudits(), abandonedBefore + 1);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QTest::qWait(3000);  // long enough for the abandoned audit to end
        QCOMPARE(Log(), logBefore);
    }

    // The window's audits give what one auditor doing the same sequence
    // gives: verdicts and processed pixels.
    // A verdict that does not reach Test.log (here it may not grow, as on a
    // full disk) is said above Open and read out with the verdict, until a
    // verdict is logged again; a log that cannot be opened is said from the
    // start. The window goes on either way.
    void verdictsThatMissTheLogAreSaid() {
        const QString line = QStringLiteral("Test.log 无法写入，结果未记入日志");
        Window w = Make();
        QVERIFY(w.window);
        QVERIFY(w.window->logText().isEmpty());
        const QByteArray before = Log();
        {
            const testsupport::FileSizeLimit full(before.size());
            QCOMPARE(Audit(w, DataFile(QStringLiteral("id_blue.jpg"))), int(Verdict::Passed));
        }
        QCOMPARE(Log(), before);
        QCOMPARE(w.window->logText(), line);
        QVERIFY(w.window->noticeLines().contains(line));
        QVERIFY(w.save->isEnabled());
        QCOMPARE(Audit(w, DataFile(QStringLiteral("portrait.jpg"))), int(Verdict::TooSmall));
        QVERIFY(w.window->logText().isEmpty());
        QVERIFY(!w.window->noticeLines().contains(line));

        QTemporaryDir other;
        uitest::PrepareWorkDir(other.path(), true, &uitest::kDefaultConfig);
        QVERIFY(QDir(other.path()).mkdir(QStringLiteral("Test.log")));
        QVERIFY(QDir::setCurrent(other.path()));
        Window folder = Make();
        QVERIFY(QDir::setCurrent(m_work.path()));
        QVERIFY(folder.window);
        QCOMPARE(folder.window->logText(), line);
        QVERIFY(folder.window->noticeLines().contains(line));
    }

    void auditsContinueOneSequence() {
        const QStringList photos = {DataFile(QStringLiteral("id_blue.jpg")),
                                    DataFile(QStringLiteral("no_face.jpg")),
                                    DataFile(QStringLiteral("id_white.jpg"))};
        quorvel::Auditor reference(testsupportCascade(),
                                   {quorvel::BackgroundColor::Any, quorvel::SizeMode::Mode1});
        Window w = Make();
        QVERIFY(w.window);
        for (const QString& photo : photos) {
            const quorvel::AuditReport expected = reference.Audit(photo.toStdString());
            QCOMPARE(Audit(w, photo), int(expected.verdict));
            if (expected.verdict != Verdict::Passed) continue;
            QCOMPARE(cv::norm(w.window->processedPhoto(), expected.processedPhoto, cv::NORM_INF),
                     0.0);
        }
    }

    // A photo given at start-up is audited before the window is shown; the
    // keyboard focus goes to Save, the next step, not to Exit.
    void photoAuditedAtStartUpLeavesTheFocusOnSave() {
        Window w = Make();
        QVERIFY(w.window);
        QCOMPARE(w.window->focusWidget(), w.open);
        QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
        w.window->auditFile(DataFile(QStringLiteral("id_blue.jpg")));
        QVERIFY(finished.wait(120000));
        QCOMPARE(w.window->focusWidget(), w.save);
    }

    // The focus ring is two pixels wide and stands out from each bar: the
    // blue, green, grey and red ones.
    void focusRingStandsOutOnEveryButton_data() {
        QTest::addColumn<QString>("picture");
        QTest::newRow("blue Open") << pictures::kOpenButton;
        QTest::newRow("green Save") << pictures::kSaveButton;
        QTest::newRow("grey Save") << pictures::kSaveButtonDisabled;
        QTest::newRow("red Exit") << pictures::kExitButton;
    }
    void focusRingStandsOutOnEveryButton() {
        QFETCH(QString, picture);
        PictureButton button;
        button.setPicture(picture);
        button.setGeometry(0, 0, 197, 48);
        button.show();
        button.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&button));
        button.setFocus();
        QVERIFY(button.hasFocus());
        const QImage ring = button.grab().toImage();
        button.clearFocus();
        const QImage plain = button.grab().toImage();

        // From the middle of the left and of the top edge inwards: at least
        // two ring pixels, one contrasting 3:1 with the bar under it.
        for (const QPoint step : {QPoint(1, 0), QPoint(0, 1)}) {
            int changed = 0;
            double contrast = 0;
            for (int i = 0; i < 8; ++i) {
                const QPoint at = (step.x() ? QPoint(0, 24) : QPoint(98, 0)) + step * i;
                if (ring.pixel(at) == plain.pixel(at)) continue;
                ++changed;
                contrast = std::max(contrast, uitest::Contrast(ring.pixel(at), plain.pixel(at)));
            }
            QVERIFY(changed >= 2 && contrast >= 3.0);
        }
    }

    // After a dialog the window itself holds the keyboard focus until the
    // verdict is told; the button it holds it for looks focused all the same.
    void buttonWhoseFocusTheWindowHoldsShowsItsRing() {
        QWidget window;
        PictureButton button(&window);
        button.setPicture(pictures::kOpenButton);
        button.setGeometry(0, 0, 197, 48);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        button.setFocus();
        const QImage ring = button.grab().toImage();
        window.setFocus();
        QVERIFY(button.grab().toImage() != ring);
        button.setFocusHeld(true);
        QCOMPARE(button.grab().toImage(), ring);
    }

    // The keyboard alone through a day: Enter never reaches Exit. During an
    // audit Open keeps the focus and ignores a press; a pass hands the focus
    // to Save, a rejection to Open; the saved line is one Tab stop. The
    // buttons are exposed in the Tab order.
    void keyboardMovesFocusInOrderAndCloses() {
        Window w = Make();
        QVERIFY(w.window);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(w.window.get());
        QCOMPARE(window->indexOfChild(QAccessible::queryAccessibleInterface(w.open)), 0);
        QCOMPARE(window->indexOfChild(QAccessible::queryAccessibleInterface(w.save)), 1);
        QCOMPARE(window->indexOfChild(QAccessible::queryAccessibleInterface(w.exit)), 2);
        QCOMPARE(QApplication::focusWidget(), w.open);
        QTest::keyClick(w.window.get(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.exit);  // Save is disabled
        QTest::keyClick(w.window.get(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.open);

        QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
        w.dialogs->openAnswers << LargePhoto() << DataFile(QStringLiteral("id_blue.jpg"));
        QTest::keyClick(w.open, Qt::Key_Return);
        QTRY_VERIFY(w.window->isAuditRunning());
        QVERIFY(w.open->isEnabled());
        const qsizetype asked = w.dialogs->startFolders.size();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // clicks at once
        QCOMPARE(QApplication::focusWidget(), w.open);
        QCOMPARE(w.dialogs->startFolders.size(), asked);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 120000);  // it may be in already
        QCOMPARE(finished.first().at(0).value<Verdict>(), Verdict::NoFace);
        QCOMPARE(QApplication::focusWidget(), w.open);

        QTest::keyClick(w.open, Qt::Key_Return);
        QVERIFY(finished.wait(120000));
        QCOMPARE(int(w.window->auditState()), int(Verdict::Passed));
        QCOMPARE(QApplication::focusWidget(), w.save);
        QTest::keyClick(w.window.get(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.exit);
        QTest::keyClick(w.window.get(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.open);

        // Enter on Save (its dialog cancelled) keeps the result and the focus;
        // a completed save returns to the start, and Open takes the focus.
        QTest::keyClick(w.window.get(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.save);
        QTest::keyClick(w.save, Qt::Key_Return);
        QTRY_COMPARE(w.dialogs->startFolders.size(), asked + 2);
        QCOMPARE(int(w.window->auditState()), int(Verdict::Passed));
        QCOMPARE(QApplication::focusWidget(), w.save);
        w.dialogs->saveAnswers.push_back(m_work.filePath(QStringLiteral("keyboard.jpg")));
        QTest::keyClick(w.save, Qt::Key_Space);
        QCOMPARE(int(w.window->auditState()), int(Verdict::Initial));
        QCOMPARE(QApplication::focusWidget(), w.open);

        // The saved line: one stop after Exit, with its ring; Enter shows the folder.
        auto* saved = w.window->findChild<QLabel*>(QStringLiteral("savedLabel"));
        const QImage unfocused = saved->grab().toImage();
        QTest::keyClick(w.window.get(), Qt::Key_Tab);
        QTest::keyClick(w.window.get(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), saved);
        QVERIFY(saved->grab().toImage() != unfocused);
        QTest::keyClick(saved, Qt::Key_Return);
        QCOMPARE(w.dialogs->shownFolders, QStringList{m_work.path()});
        QTest::keyClick(w.window.get(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.open);

        QTest::keyClick(w.window.get(), Qt::Key_Escape);
        QVERIFY(!w.window->isVisible());
        QCOMPARE(w.window->result(), int(QDialog::Rejected));

        // Return on the focused Exit button closes the window as well.
        Window other = Make();
        QVERIFY(other.window);
        other.window->show();
        QVERIFY(QTest::qWaitForWindowActive(other.window.get()));
        other.exit->setFocus();
        QTest::keyClick(other.exit, Qt::Key_Return);
        QTRY_VERIFY(!other.window->isVisible());
    }

    // Ctrl+O and Ctrl+S do what Open photo and Save photo do, and nothing
    // while their buttons are disabled.
    void controlKeysOpenAndSave() {
        Window w = Make();
        QVERIFY(w.window);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        const QString target = WorkFile(QStringLiteral("ctrl-s.jpg"));
        QFile::remove(target);

        // Save is disabled: Ctrl+S asks nothing.
        w.dialogs->saveAnswers.push_back(target);
        QTest::keyClick(w.window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(w.dialogs->saveAnswers.size(), 1);
        w.dialogs->saveAnswers.clear();

        QSignalSpy finished(w.window.get(), &MainWindow::auditFinished);
        w.dialogs->openAnswers.push_back(DataFile(QStringLiteral("id_blue.jpg")));
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(finished.wait(120000));
        QCOMPARE(finished.first().at(0).value<Verdict>(), Verdict::Passed);

        w.dialogs->saveAnswers.push_back(target);
        QTest::keyClick(w.window.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(quorvel::HasPassMarker(target.toStdString()));
        QCOMPARE(int(w.window->auditState()), int(Verdict::Initial));

        // During an audit Ctrl+O asks nothing.
        w.dialogs->openAnswers.push_back(LargePhoto());
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(w.window->isAuditRunning());
        w.dialogs->openAnswers.push_back(DataFile(QStringLiteral("id_blue.jpg")));
        QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(w.dialogs->openAnswers.size(), 1);
        QVERIFY(finished.wait(120000));
    }

    // Dragging the banner with the left button moves the window; anywhere
    // else, or with another button, the window stays.
    void draggingTheBannerMovesTheWindow_data() {
        QTest::addColumn<QPoint>("pressAt");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("moves");
        QTest::newRow("banner, left button") << QPoint(100, 40) << int(Qt::LeftButton) << true;
        QTest::newRow("banner's last row") << QPoint(519, 79) << int(Qt::LeftButton) << true;
        QTest::newRow("banner, right button") << QPoint(100, 40) << int(Qt::RightButton) << false;
        QTest::newRow("below the banner") << QPoint(100, 80) << int(Qt::LeftButton) << false;
        QTest::newRow("top strip above the buttons")
            << QPoint(600, 40) << int(Qt::LeftButton) << false;
    }
    void draggingTheBannerMovesTheWindow() {
        QFETCH(QPoint, pressAt);
        QFETCH(int, button);
        QFETCH(bool, moves);
        Window w = Make();
        QVERIFY(w.window);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        const QPoint start = w.window->pos();
        const auto mouse = [&w](QEvent::Type type, const QPoint& local, Qt::MouseButton which,
                                Qt::MouseButtons held) {
            QMouseEvent event(type, local, w.window->mapToGlobal(local), which, held,
                              Qt::NoModifier);
            QApplication::sendEvent(w.window.get(), &event);
        };
        const auto pressed = Qt::MouseButton(button);
        mouse(QEvent::MouseButtonPress, pressAt, pressed, pressed);
        mouse(QEvent::MouseMove, pressAt + QPoint(30, 20), Qt::NoButton, pressed);
        mouse(QEvent::MouseButtonRelease, pressAt + QPoint(30, 20), pressed, Qt::NoButton);
        QCOMPARE(w.window->pos(), moves ? start + QPoint(30, 20) : start);

        // After the release, moving the mouse no longer moves the window.
        const QPoint after = w.window->pos();
        mouse(QEvent::MouseMove, pressAt + QPoint(60, 60), Qt::NoButton, Qt::NoButton);
        QCOMPARE(w.window->pos(), after);
    }

    void windowMenuOffersTheAboutBox() {
        Window w = Make();
        QVERIFY(w.window);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));

        QStringList entries;
        QStringList about;  // caption, texts, default button
        QRect aboutBox;
        QRect okButton;
        WhenShown([] { return QApplication::activePopupWidget(); },
                  [&entries](QWidget* popup) {
                      for (const QAction* action : popup->actions()) entries << action->text();
                      uitest::SaveScreenshot(popup->grab().toImage(), QStringLiteral("menu"));
                      QTest::keyClick(popup, Qt::Key_A);  // the About entry's mnemonic
                  });
        WhenShown([] { return QApplication::activeModalWidget(); },
                  [&about, &aboutBox, &okButton](QWidget* box) {
                      about << box->windowTitle();
                      aboutBox = box->rect();
                      for (const QLabel* label : box->findChildren<QLabel*>()) {
                          if (!label->text().isEmpty()) about << label->text();
                      }
                      uitest::SaveScreenshot(box->grab().toImage(), QStringLiteral("about"));
                      for (QPushButton* button : box->findChildren<QPushButton*>()) {
                          if (button->isDefault()) about << button->text();
                          if (button->isDefault()) okButton = button->geometry();
                          if (button->isDefault()) button->click();
                      }
                  });
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(100, 100),
                                     w.window->mapToGlobal(QPoint(100, 100)));
        QApplication::sendEvent(w.window.get(), &rightClick);

        QVERIFY(entries.contains(QStringLiteral("关于 Quorvel(&A)...")));
        QVERIFY(entries.contains(QStringLiteral("关闭(&C)")));  // its key in a column of its own
        QCOMPARE(about, QStringList({QStringLiteral("关于 Quorvel"),
                                     QStringLiteral("Quorvel，1.0 版"), QStringLiteral("确定")}));
        QCOMPARE(aboutBox, QRect(0, 0, 298, 116));
        QCOMPARE(okButton, QRect(198, 77, 88, 26));
        QVERIFY(w.window->isVisible());

        // Alt+Space opens the same menu at the window's corner.
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QPoint menuAt(-1, -1);
        WhenShown([] { return QApplication::activePopupWidget(); },
                  [&menuAt](QWidget* popup) {
                      menuAt = popup->windowHandle()->framePosition();
                      QTest::keyClick(popup, Qt::Key_Escape);
                  });
        QTest::keyClick(w.window.get(), Qt::Key_Space, Qt::AltModifier);
        QCOMPARE(menuAt, QPoint(0, 0));
        QVERIFY(w.window->isVisible());
    }

    // The other entries of the window menu, chosen by their mnemonics.
    void windowMenuMinimisesAndCloses_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("minimised");
        QTest::newRow("minimise (N)") << int(Qt::Key_N) << true << true;
        QTest::newRow("close (C)") << int(Qt::Key_C) << false << false;
    }
    void windowMenuMinimisesAndCloses() {
        QFETCH(int, key);
        QFETCH(bool, visible);
        QFETCH(bool, minimised);
        Window w = Make();
        QVERIFY(w.window);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));

        WhenShown([] { return QApplication::activePopupWidget(); },
                  [key](QWidget* popup) { QTest::keyClick(popup, Qt::Key(key)); });
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(100, 100),
                                     w.window->mapToGlobal(QPoint(100, 100)));
        QApplication::sendEvent(w.window.get(), &rightClick);

        QCOMPARE(w.window->isVisible(), visible);
        QCOMPARE(w.window->isMinimized(), minimised);
        if (!visible) QCOMPARE(w.window->result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
