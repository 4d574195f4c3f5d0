// Start-up of the real application in a child process: the checks in their
// order, the single message of the first failure, exit status 0 in every case.
#include <sys/mount.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "UiTestSupport.h"
#include "gui/MainWindow.h"

namespace {

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QStringList lines;
};

Run RunProbe(const QString& workDir, const QString& platform) {
    QProcess probe;
    probe.setWorkingDirectory(workDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(QUORVEL_STARTUP_PROBE), {});
    Run run;
    if (!probe.waitForFinished(120000)) {
        probe.kill();
        probe.waitForFinished();
        return run;
    }
    run.exitCode = probe.exitCode();
    run.status = probe.exitStatus();
    run.lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return run;
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void startupEndsWithStatusZero_data() {
        QTest::addColumn<bool>("cascade");
        QTest::addColumn<QByteArray>("cascadeContent");
        QTest::addColumn<bool>("config");
        QTest::addColumn<QByteArray>("configContent");
        QTest::addColumn<bool>("logIsFolder");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QStringList>("expected");

        const QByteArray standard = uitest::kDefaultConfig;
        const QString shown = QStringLiteral("shown: 0 0 800 600");
        const QString closed = QStringLiteral("closed");
        const QString cascadeMissing =
            QStringLiteral("message: ") + CQuorvelDlg::kCascadeMissingMessage;
        const QString noConfig = QStringLiteral("message: ") + CQuorvelDlg::kNoConfigMessage;
        const QString smallScreen =
            QStringLiteral("message: ") + CQuorvelDlg::kScreenTooSmallMessage;
        const QSize large(1024, 768);

        QTest::newRow("everything there") << true << QByteArray() << true << standard << false
                                          << large << QStringList{shown, closed};
        QTest::newRow("no cascade") << false << QByteArray() << true << standard << false << large
                                    << QStringList{cascadeMissing};
        QTest::newRow("cascade not parseable")
            << true << QByteArray("<opencv_storage><cascade>broken") << true << standard << false
            << large << QStringList{cascadeMissing};
        QTest::newRow("no cfg.ini") << true << QByteArray() << false << QByteArray() << false
                                    << large << QStringList{noConfig};
        QTest::newRow("neither: only the cascade message")
            << false << QByteArray() << false << QByteArray() << false << large
            << QStringList{cascadeMissing};
        QTest::newRow("cfg.ini without its section")
            << true << QByteArray() << true << QByteArray("color=2\n") << false << large
            << QStringList{shown, closed};
        QTest::newRow("Test.log cannot be opened") << true << QByteArray() << true << standard
                                                   << true << large << QStringList{shown, closed};
        QTest::newRow("screen smaller both ways")
            << true << QByteArray() << true << standard << false << QSize(577, 413)
            << QStringList{smallScreen};
        QTest::newRow("screen wide enough") << true << QByteArray() << true << standard << false
                                            << QSize(578, 300) << QStringList{shown, closed};
        QTest::newRow("screen tall enough") << true << QByteArray() << true << standard << false
                                            << QSize(400, 414) << QStringList{shown, closed};
    }
    void startupEndsWithStatusZero() {
        QFETCH(bool, cascade);
        QFETCH(QByteArray, cascadeContent);
        QFETCH(bool, config);
        QFETCH(QByteArray, configContent);
        QFETCH(bool, logIsFolder);
        QFETCH(QSize, screen);
        QFETCH(QStringList, expected);

        QTemporaryDir work;
        QVERIFY(work.isValid());
        uitest::PrepareWorkDir(work.path(), cascade && cascadeContent.isEmpty(),
                               config ? &configContent : nullptr);
        if (!cascadeContent.isEmpty()) {
            uitest::WriteAll(work.filePath(QStringLiteral("haarcascade_frontalface_alt2.xml")),
                             cascadeContent);
        }
        if (logIsFolder) QVERIFY(QDir(work.path()).mkdir(QStringLiteral("Test.log")));
        const QString screens = work.filePath(QStringLiteral("screens.json"));
        uitest::WriteAll(screens, QStringLiteral("{\"screens\": [{\"name\": \"main\", \"x\": 0, "
                                                 "\"y\": 0, \"width\": %1, \"height\": %2}]}")
                                      .arg(screen.width())
                                      .arg(screen.height())
                                      .toUtf8());

        const Run run = RunProbe(work.path(), QStringLiteral("offscreen:configfile=") + screens);

        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.filter(QRegularExpression(QStringLiteral("^(message|shown|closed)"))),
                 expected);

        const QFileInfo log(work.filePath(QStringLiteral("Test.log")));
        if (!expected.contains(QStringLiteral("closed"))) {
            QVERIFY(!log.exists());  // a failed start-up leaves nothing behind
        } else if (!logIsFolder) {
            const QByteArray bytes = uitest::ReadAll(log.filePath());
            QCOMPARE(bytes.count('\n'), 1);
            QVERIFY(bytes.endsWith("\t" + uitest::LogMessage(L"系统启动")));
        }
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
        const QString screens = work.filePath(QStringLiteral("screens.json"));
        uitest::WriteAll(screens,
                         "{\"screens\": [{\"name\": \"main\", \"x\": 0, \"y\": 0, "
                         "\"width\": 1024, \"height\": 768}]}");
        Run run;
        if (readOnly) run = RunProbe(ro, QStringLiteral("offscreen:configfile=") + screens);
        const bool logWritten = QFileInfo::exists(ro + QStringLiteral("/Test.log"));
        ::umount(roPath.constData());
        if (!readOnly) QSKIP("cannot remount the tmpfs read-only here");

        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.filter(QRegularExpression(QStringLiteral("^(message|shown|closed)"))),
                 (QStringList{QStringLiteral("shown: 0 0 800 600"), QStringLiteral("closed")}));
        QVERIFY(!logWritten);
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "StartupTest.moc"
