// What assistive technology learns from the window through Qt's own
// interfaces: its name and description, the buttons' keys, and the result
// panel as a notification announced with the waiting state, every verdict and
// a save, with the note on a photo already processed.
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

QAccessibleInterface* Interface(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void resultIsToldAfterARejectionAPassAndASave() {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        uitest::PrepareWorkDir(work.path(), true, &uitest::kDefaultConfig);
        QVERIFY(QDir::setCurrent(work.path()));
        auto owned = std::make_unique<FakeDialogs>();
        FakeDialogs* dialogs = owned.get();
        MainWindow window(std::move(owned));
        QVERIFY(window.startUp());
        window.show();
        QSignalSpy finished(&window, &MainWindow::auditFinished);
        auto* open = window.findChild<QAbstractButton*>(QStringLiteral("openButton"));
        QObject* notice = window.findChild<QObject*>(QStringLiteral("resultNotice"));
        // Qt tells a screen reader of each showing; the offscreen platform has
        // none to tell, so the notice's own signal stands for it.
        QSignalSpy announced(notice, SIGNAL(announced(QString)));
        const auto said = [&announced] {
            QStringList names;
            for (const QList<QVariant>& call : announced) names << call.at(0).toString();
            announced.clear();
            return names;
        };

        QCOMPARE(Interface(&window)->text(QAccessible::Name), QStringLiteral("照片审核处理工具"));
        QVERIFY(Interface(&window)->text(QAccessible::Description).startsWith("工具使用说明："));
        QCOMPARE(Interface(open)->actionInterface()->keyBindingsForAction(
                     QAccessibleActionInterface::pressAction()),
                 QStringList{QStringLiteral("Ctrl+O")});
        QCOMPARE(Interface(notice)->role(), QAccessible::Notification);

        // A rejection: waiting, then caption, the screen's reason and the
        // measured line, each also a text of its own.
        dialogs->openAnswers << uitest::DataFile(QStringLiteral("portrait.jpg"));
        open->click();
        QVERIFY(finished.wait(120000));
        const QStringList rejected = {QStringLiteral("不符合要求"),
                                      QStringLiteral("原因：") + screenReason(Verdict::TooSmall),
                                      window.measuredText()};
        QCOMPARE(said(), (QStringList{QStringLiteral("正在审核…"), rejected.join("。")}));
        QCOMPARE(Interface(notice)->childCount(), 3);
        QCOMPARE(Interface(notice)->child(1)->text(QAccessible::Name), rejected[1]);

        // A pass: the caption and the processed photo, also an image of its own.
        dialogs->openAnswers << uitest::DataFile(QStringLiteral("id_blue.jpg"));
        open->click();
        QVERIFY(finished.wait(120000));
        const QString size = QStringLiteral("%1×%2")
                                 .arg(window.processedPhoto().cols)
                                 .arg(window.processedPhoto().rows);
        QCOMPARE(said().value(1),
                 QStringLiteral("符合要求。处理后的照片 %1 像素，可以保存").arg(size));
        QAccessibleInterface* photo = Interface(window.findChild<QObject*>("processedPhoto"));
        QVERIFY(photo->role() == QAccessible::Graphic && !photo->state().invisible);

        // A save: the saved line, announced and a link of its own.
        const QString target = work.filePath(QStringLiteral("报名照片.jpg"));
        dialogs->saveAnswers << target;
        window.findChild<QAbstractButton*>(QStringLiteral("saveButton"))->click();
        const QString savedLine = QStringLiteral("已保存：") + QDir(work.path()).dirName() +
                                  QStringLiteral("/报名照片.jpg");
        QCOMPARE(said(), QStringList{savedLine});
        QAccessibleInterface* link = Interface(window.findChild<QObject*>("savedLabel"));
        QVERIFY(link->role() == QAccessible::Link && link->text(QAccessible::Name) == savedLine);
        QVERIFY(photo->state().invisible);

        // The saved photo opened again keeps its verdict and its log line;
        // the note under the reason says it can be uploaded as it is.
        dialogs->openAnswers << target;
        open->click();
        QVERIFY(finished.wait(120000));
        QCOMPARE(window.auditState(), Verdict::TooSmall);
        QVERIFY(
            uitest::ReadAll(work.filePath(QStringLiteral("Test.log")))
                .endsWith("\t" + uitest::LogMessage("报名照片.jpg图像大小或者尺寸不符合要求！")));
        QVERIFY(said().value(1).endsWith(kAlreadyProcessedNote));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
