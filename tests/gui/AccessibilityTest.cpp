// What assistive technology learns from the window, through Qt's own
// accessibility interfaces: the window's name and description, the result
// panel as a notification announced with every verdict, the waiting state and
// a save, the buttons' keys, and the note on a photo already processed.
#include <QAbstractButton>
#include <QAccessible>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "FakeDialogs.h"
#include "UiTestSupport.h"
#include "gui/MainWindow.h"
#include "gui/ScreenTexts.h"

using namespace quorvel::gui;
using quorvel::Verdict;

namespace {

// The names the notice had each time it was shown again (announced). Qt
// tells a screen reader of each showing; the offscreen platform of the tests
// has no screen reader to tell, so the notice's own signal is counted.
QStringList g_announced;

QAccessibleInterface* Interface(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_startDir;

public slots:
    void record(const QString& name) { g_announced << name; }

private slots:
    void initTestCase() {
        QVERIFY(m_work.isValid());
        uitest::PrepareWorkDir(m_work.path(), true, &uitest::kDefaultConfig);
        m_startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_work.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(m_startDir); }

    void resultIsToldAfterARejectionAPassAndASave() {
        auto owned = std::make_unique<FakeDialogs>();
        FakeDialogs* dialogs = owned.get();
        MainWindow window(std::move(owned));
        QVERIFY(window.startUp());
        window.show();
        QSignalSpy finished(&window, &MainWindow::auditFinished);
        auto* open = window.findChild<QAbstractButton*>(QStringLiteral("openButton"));
        auto* save = window.findChild<QAbstractButton*>(QStringLiteral("saveButton"));

        QAccessibleInterface* main = Interface(&window);
        QCOMPARE(main->text(QAccessible::Name), QStringLiteral("照片审核处理工具"));
        QVERIFY(main->text(QAccessible::Description).startsWith(QStringLiteral("工具使用说明：")));
        QObject* noticeObject = window.findChild<QObject*>("resultNotice");
        QObject::connect(noticeObject, SIGNAL(announced(QString)), this, SLOT(record(QString)));
        QAccessibleInterface* notice = Interface(noticeObject);
        QCOMPARE(notice->role(), QAccessible::Notification);
        QCOMPARE(notice->text(QAccessible::Name),
                 QStringLiteral("处理结果提示。照片处理结果显示区域"));
        QCOMPARE(Interface(open)->actionInterface()->keyBindingsForAction(
                     QAccessibleActionInterface::pressAction()),
                 QStringList{QStringLiteral("Ctrl+O")});
        QCOMPARE(Interface(save)->actionInterface()->keyBindingsForAction(
                     QAccessibleActionInterface::pressAction()),
                 QStringList{QStringLiteral("Ctrl+S")});

        // A rejection: waiting, then the caption, the screen's reason and the
        // measured line, each line also a text of its own.
        g_announced.clear();
        const QString portrait = uitest::DataFile(QStringLiteral("portrait.jpg"));
        dialogs->openAnswers << portrait;
        open->click();
        QVERIFY(finished.wait(120000));
        const QString measured = window.measuredText();
        QVERIFY(!measured.isEmpty());
        const QStringList rejected = {QStringLiteral("不符合要求"),
                                      QStringLiteral("原因：") + screenReason(Verdict::TooSmall),
                                      measured};
        QCOMPARE(g_announced,
                 (QStringList{QStringLiteral("正在审核…"), rejected.join(QStringLiteral("。"))}));
        QCOMPARE(notice->childCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(notice->child(i)->role(), QAccessible::StaticText);
            QCOMPARE(notice->child(i)->text(QAccessible::Name), rejected[i]);
        }

        // A pass: the caption and the processed photo, also described itself.
        g_announced.clear();
        dialogs->openAnswers << uitest::DataFile(QStringLiteral("id_blue.jpg"));
        open->click();
        QVERIFY(finished.wait(120000));
        const cv::Mat& photo = window.processedPhoto();
        const QString size = QStringLiteral("%1×%2").arg(photo.cols).arg(photo.rows);
        QCOMPARE(g_announced.value(1),
                 QStringLiteral("符合要求。处理后的照片 %1 像素，可以保存").arg(size));
        QAccessibleInterface* shown = Interface(window.findChild<QObject*>("processedPhoto"));
        QCOMPARE(shown->role(), QAccessible::Graphic);
        QVERIFY(!shown->state().invisible);
        QVERIFY(shown->text(QAccessible::Description).contains(size));

        // A save: the saved line, announced and a link of its own.
        g_announced.clear();
        const QString target = m_work.filePath(QStringLiteral("报名照片.jpg"));
        dialogs->saveAnswers << target;
        save->click();
        const QString savedLine = QStringLiteral("已保存：") + QDir(m_work.path()).dirName() +
                                  QStringLiteral("/报名照片.jpg");
        QCOMPARE(g_announced, QStringList{savedLine});
        QAccessibleInterface* link = Interface(window.findChild<QObject*>("savedLabel"));
        QCOMPARE(link->role(), QAccessible::Link);
        QCOMPARE(link->text(QAccessible::Name), savedLine);
        QVERIFY(shown->state().invisible);

        // The saved photo opened again keeps its verdict and its log line;
        // the note under the reason says it can be uploaded as it is.
        g_announced.clear();
        dialogs->openAnswers << target;
        open->click();
        QVERIFY(finished.wait(120000));
        QCOMPARE(window.auditState(), Verdict::TooSmall);
        QVERIFY(
            uitest::ReadAll(m_work.filePath(QStringLiteral("Test.log")))
                .endsWith("\t" + uitest::LogMessage("报名照片.jpg图像大小或者尺寸不符合要求！")));
        QVERIFY(window.noticeLines().endsWith(kAlreadyProcessedNote));
        QVERIFY(g_announced.value(1).endsWith(kAlreadyProcessedNote));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
