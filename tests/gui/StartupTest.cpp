// Start-up: the checks in their order and the single message of the first
// failure, in-process on the window; the application in a child process where
// a fresh process matters (the log it opens, the screen it runs on, the exit
// status 0 in every case).
#include <sys/mount.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "FakeDialogs.h"
#include "UiTestSupport.h"
#include "gui/MainWindow.h"

using namespace quorvel::gui;

namespace {

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QStringList lines;
    QString errors;  // standard error
};

// Runs the probe (or another program) in workDir; platform "none" leaves
// the program without any display.
Run RunProbe(const QString& workDir, const QString& platform, const QStringList& args = {},
             const QString& dataHome = {},
             const QString& program = QStringLiteral(QUORVEL_STARTUP_PROBE)) {
    QProcess probe;
    probe.setWorkingDirectory(workDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    if (platform == QLatin1String("none")) {
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
            env.remove(QString::fromLatin1(name));
        }
    }
    if (!dataHome.isEmpty()) env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    probe.setProcessEnvironment(env);
    probe.start(program, args);
    Run run;
    if (!probe.waitForFinished(120000)) {
        probe.kill();
        probe.waitForFinished();
        return run;
    }
    run.exitCode = probe.exitCode();
    run.status = probe.exitStatus();
    run.lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(probe.readAllStandardError());
    return run;
}

const QString kCascadeMissing = QStringLiteral("文件缺失，请重新下载！");
const QString kNoConfig = QStringLiteral("没有配置文件！");
const QString kScreenTooSmall = QStringLiteral("屏幕分辨率太小，需要设置大的屏幕分辨率！");

// Prepares a working directory: the cascade (copied, or with the given
// content) and cfg.ini, each only when asked for.
void PrepareWorkDir(const QString& dir, bool cascade, const QByteArray& cascadeContent, bool config,
                    const QByteArray& configContent) {
    uitest::PrepareWorkDir(dir, cascade && cascadeContent.isEmpty(),
                           config ? &configContent : nullptr);
    if (cascade && !cascadeContent.isEmpty()) {
        uitest::WriteAll(QDir(dir).filePath(QStringLiteral("haarcascade_frontalface_alt2.xml")),
                         cascadeContent);
    }
}

// An offscreen platform whose one screen has the given size.
QString OffscreenWithScreen(const QTemporaryDir& work, const QSize& screen) {
    const QString screens = work.filePath(QStringLiteral("screens.json"));
    uitest::WriteAll(screens, QStringLiteral("{\"screens\": [{\"name\": \"main\", \"x\": 0, "
                                             "\"y\": 0, \"width\": %1, \"height\": %2}]}")
                                  .arg(screen.width())
                                  .arg(screen.height())
                                  .toUtf8());
    return QStringLiteral("offscreen:configfile=") + screens;
}

QStringList ProbeLines(const Run& run) {
    return run.lines.filter(
        QRegularExpression(QStringLiteral("^(message|shown|verdict|closed|not started)")));
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

    QString m_startDir;

private slots:
    void initTestCase() { m_startDir = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_startDir); }

    // Checks that fail before anything is logged: the window reports the
    // first failure only, refuses to start and leaves no log behind.
    void failedCheckShowsOneMessage_data() {
        QTest::addColumn<bool>("cascade");
        QTest::addColumn<QByteArray>("cascadeContent");
        QTest::addColumn<bool>("config");
        QTest::addColumn<QByteArray>("configContent");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("file");  // named beneath the message

        const QByteArray standard = uitest::kDefaultConfig;
        const QString cascadeFile = QStringLiteral("haarcascade_frontalface_alt2.xml");
        QTest::newRow("no cascade") << false << QByteArray() << true << standard
                                    << QStringList{kCascadeMissing} << cascadeFile;
        QTest::newRow("cascade not parseable")
            << true << QByteArray("<opencv_storage><cascade>broken") << true << standard
            << QStringList{kCascadeMissing} << cascadeFile;
        QTest::newRow("no cfg.ini") << true << QByteArray() << false << QByteArray()
                                    << QStringList{kNoConfig} << QStringLiteral("cfg.ini");
    }
    void failedCheckShowsOneMessage() {
        QFETCH(bool, cascade);
        QFETCH(QByteArray, cascadeContent);
        QFETCH(bool, config);
        QFETCH(QByteArray, configContent);
        QFETCH(QStringList, messages);
        QFETCH(QString, file);

        QTemporaryDir work;
        QVERIFY(work.isValid());
        PrepareWorkDir(work.path(), cascade, cascadeContent, config, configContent);
        QVERIFY(QDir::setCurrent(work.path()));

        auto dialogs = std::make_unique<FakeDialogs>();
        FakeDialogs* shown = dialogs.get();
        MainWindow window(std::move(dialogs));
        QVERIFY(!window.startUp());
        QCOMPARE(shown->messages, messages);
        QCOMPARE(shown->details, QStringList{QStringLiteral("文件：") + work.filePath(file)});
        QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("Test.log"))));
    }

    // A cfg.ini that is a folder counts as missing: it is never read.
    void configThatIsAFolderCountsAsMissing() {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        PrepareWorkDir(work.path(), true, {}, false, {});
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("cfg.ini")));
        QVERIFY(QDir::setCurrent(work.path()));

        auto dialogs = std::make_unique<FakeDialogs>();
        FakeDialogs* shown = dialogs.get();
        MainWindow window(std::move(dialogs));
        QVERIFY(!window.startUp());
        QCOMPARE(shown->messages, QStringList{kNoConfig});
        QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("Test.log"))));
    }

    // A configuration file without its section still starts, with the defaults.
    void configWithoutItsSectionStarts() {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        PrepareWorkDir(work.path(), true, {}, true, "color=2\n");
        QVERIFY(QDir::setCurrent(work.path()));

        auto dialogs = std::make_unique<FakeDialogs>();
        FakeDialogs* shown = dialogs.get();
        MainWindow window(std::move(dialogs));
        QVERIFY(window.startUp());
        QCOMPARE(shown->messages, QStringList());
        QCOMPARE(window.geometry(), QRect(0, 0, 800, 600));
    }

    // The application in a process of its own: what it shows on a screen of
    // the given size, the start line of its fresh log, and exit status 0.
    void applicationEndsWithStatusZero_data() {
        QTest::addColumn<bool>("cascade");
        QTest::addColumn<bool>("logIsFolder");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QStringList>("expected");

        const QString shown = QStringLiteral("shown: 0 0 800 600");
        const QString closed = QStringLiteral("closed");
        const QString notStarted = QStringLiteral("not started");
        const QSize large(1024, 768);

        QTest::newRow("everything there") << true << false << large << QStringList{shown, closed};
        QTest::newRow("no cascade")
            << false << false << large
            << QStringList{QStringLiteral("message: ") + kCascadeMissing, notStarted};
        QTest::newRow("Test.log cannot be opened")
            << true << true << large << QStringList{shown, closed};
        QTest::newRow("screen smaller both ways")
            << true << false << QSize(577, 413)
            << QStringList{QStringLiteral("message: ") + kScreenTooSmall, notStarted};
        QTest::newRow("screen wide enough")
            << true << false << QSize(578, 300) << QStringList{shown, closed};
        QTest::newRow("screen tall enough")
            << true << false << QSize(400, 414) << QStringList{shown, closed};
    }
    void applicationEndsWithStatusZero() {
        QFETCH(bool, cascade);
        QFETCH(bool, logIsFolder);
        QFETCH(QSize, screen);
        QFETCH(QStringList, expected);

        QTemporaryDir work;
        QVERIFY(work.isValid());
        PrepareWorkDir(work.path(), cascade, {}, true, uitest::kDefaultConfig);
        if (logIsFolder) QVERIFY(QDir(work.path()).mkdir(QStringLiteral("Test.log")));

        const Run run = RunProbe(work.path(), OffscreenWithScreen(work, screen));

        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(ProbeLines(run), expected);

        const QFileInfo log(work.filePath(QStringLiteral("Test.log")));
        if (!expected.contains(QStringLiteral("closed"))) {
            QVERIFY(!log.exists());  // a failed start-up leaves nothing behind
        } else if (!logIsFolder) {
            const QByteArray bytes = uitest::ReadAll(log.filePath());
            QCOMPARE(bytes.count('\n'), 1);
            QVERIFY(bytes.endsWith("\t" + uitest::LogMessage("系统启动")));
        }
    }

    // Started where neither cfg.ini nor the cascade is, the window works in
    // the per-user folder as from the desktop entry, and says so; where one
    // of them is, the missing one is reported as before.
    void folderWithoutEitherFileUsesThePerUserFolder() {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString data = work.filePath(QStringLiteral("data"));
        const QString empty = work.filePath(QStringLiteral("empty"));
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("empty")));

        const Run run = RunProbe(empty, OffscreenWithScreen(work, QSize(1024, 768)), {}, data);

        QCOMPARE(run.exitCode, 0);
        QCOMPARE(ProbeLines(run),
                 (QStringList{QStringLiteral("shown: 0 0 800 600"), QStringLiteral("closed")}));
        QVERIFY2(
            run.errors.contains(QStringLiteral("working in ") + data + QStringLiteral("/quorvel")),
            qPrintable(run.errors));
        QVERIFY(QDir(empty).isEmpty());
        const QByteArray log = uitest::ReadAll(data + QStringLiteral("/quorvel/Test.log"));
        QVERIFY(log.endsWith("\t" + uitest::LogMessage("系统启动")));
    }

    // A photo named on the command line is audited right after start-up, as
    // if it had been opened: its verdict is applied and logged.
    void photoArgumentIsAuditedAtStartUp_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("logText");
        const QString blue = uitest::DataFile(QStringLiteral("id_blue.jpg"));
        QTest::newRow("absolute path, passed")
            << blue << int(quorvel::Verdict::Passed) << QStringLiteral("id_blue.jpg图像审核成功！");
        QTest::newRow("path relative to the working directory")
            << QStringLiteral("copy/照片.jpg") << int(quorvel::Verdict::Passed)
            << QStringLiteral("照片.jpg图像审核成功！");
        QTest::newRow("missing file")
            << QStringLiteral("nowhere.jpg") << int(quorvel::Verdict::BadFormat)
            << QStringLiteral("nowhere.jpg文件格式不符合要求！");
    }
    void photoArgumentIsAuditedAtStartUp() {
        QFETCH(QString, argument);
        QFETCH(int, verdict);
        QFETCH(QString, logText);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        PrepareWorkDir(work.path(), true, {}, true, uitest::kDefaultConfig);
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("copy")));
        QVERIFY(QFile::copy(uitest::DataFile(QStringLiteral("id_blue.jpg")),
                            work.filePath(QStringLiteral("copy/照片.jpg"))));

        const Run run =
            RunProbe(work.path(), OffscreenWithScreen(work, QSize(1024, 768)), {argument});

        QCOMPARE(run.exitCode, 0);
        QCOMPARE(ProbeLines(run), (QStringList{QStringLiteral("shown: 0 0 800 600"),
                                               QStringLiteral("verdict: %1").arg(verdict),
                                               QStringLiteral("closed")}));
        const QByteArray log = uitest::ReadAll(work.filePath(QStringLiteral("Test.log")));
        QCOMPARE(log.count('\n'), 2);
        QVERIFY(log.endsWith("\t" + uitest::LogMessage(logText.toStdString())));
    }

    // At 200 % the window is 800 x 600 window pixels where the screen holds
    // them, device pixels (said on standard error) where it does not.
    void windowFollowsTheDesktopsScale_data() {
        QTest::addColumn<QSize>("screen");  // device pixels
        QTest::addColumn<QString>("ratio");
        QTest::newRow("room for the window") << QSize(1600, 1200) << QStringLiteral("ratio: 2");
        QTest::newRow("too small for it") << QSize(1024, 768) << QStringLiteral("ratio: 1");
    }
    void windowFollowsTheDesktopsScale() {
        QFETCH(QSize, screen);
        QFETCH(QString, ratio);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        PrepareWorkDir(work.path(), true, {}, true, uitest::kDefaultConfig);
        qputenv("QT_SCALE_FACTOR", "2");
        const Run run = RunProbe(work.path(), OffscreenWithScreen(work, screen));
        qunsetenv("QT_SCALE_FACTOR");
        QCOMPARE(ProbeLines(run),
                 (QStringList{QStringLiteral("shown: 0 0 800 600"), QStringLiteral("closed")}));
        QVERIFY(run.lines.contains(ratio));
        QCOMPARE(run.errors.contains(QStringLiteral("in device pixels")), ratio.endsWith('1'));
    }

    // Help and version print and end at once; without a display one line
    // says so. None of them makes the per-user folder or a log.
    void commandLineEndsWithoutAWindow_data() {
        QTest::addColumn<QString>("arg");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");  // the first line of standard output
        QTest::addColumn<int>("errorLines");
        QTest::newRow("--help") << QStringLiteral("--help") << 0
                                << QStringLiteral("Usage: quorvel [--desktop] [PHOTO]") << 0;
        QTest::newRow("--version")
            << QStringLiteral("--version") << 0 << QStringLiteral("quorvel 1.0") << 0;
        QTest::newRow("no display") << QStringLiteral("photo.jpg") << 1 << QString() << 1;
    }
    void commandLineEndsWithoutAWindow() {
        QFETCH(QString, arg);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(int, errorLines);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const Run run =
            RunProbe(work.path(), QStringLiteral("none"), {arg},
                     work.filePath(QStringLiteral("data")), QStringLiteral(QUORVEL_WINDOW_PROGRAM));
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.lines.value(0), output);
        QCOMPARE(run.errors.count(QLatin1Char('\n')), errorLines);
        QVERIFY(QDir(work.path()).isEmpty());
    }

    // A working directory that cannot be written: no log, but the window opens.
    void readOnlyWorkingDirectoryStillOpensTheWindow() {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString ro = work.filePath(QStringLiteral("ro"));
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("ro")));
        const QByteArray roPath = ro.toLocal8Bit();
        if (::mount("tmpfs", roPath.constData(), "tmpfs", 0, "size=4m") != 0) {
            QSKIP("cannot mount a tmpfs here (needs root and mount rights)");
        }
        const QByteArray config = uitest::kDefaultConfig;
        uitest::PrepareWorkDir(ro, true, &config);
        const bool readOnly =
            ::mount("tmpfs", roPath.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=4m") == 0;
        Run run;
        if (readOnly) run = RunProbe(ro, OffscreenWithScreen(work, QSize(1024, 768)));
        const bool logWritten = QFileInfo::exists(ro + QStringLiteral("/Test.log"));
        ::umount(roPath.constData());
        if (!readOnly) QSKIP("cannot remount the tmpfs read-only here");

        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(ProbeLines(run),
                 (QStringList{QStringLiteral("shown: 0 0 800 600"), QStringLiteral("closed")}));
        QVERIFY(!logWritten);
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
