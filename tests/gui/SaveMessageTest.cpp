#include <QRegularExpression>
#include <QtTest>
#include <cerrno>

#include "gui/FailureMessages.h"

using namespace quorvel::gui;

using SaveError = quorvel::ErrorKind;

// The window's failure messages: a save's in Chinese throughout, the system's
// reason included, whatever English text quorvel-audit gets for the same
// failure; the per-user folder's as they always read.
class SaveMessageTest : public QObject {
    Q_OBJECT

private slots:
    void reasonIsChineseThroughout_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("systemError");
        QTest::addColumn<QString>("reason");
        QTest::newRow("writable file in a folder that cannot be written")
            << static_cast<int>(SaveError::FolderNotWritable) << EACCES
            << QStringLiteral("文件夹不允许写入");
        QTest::newRow("no permission")
            << static_cast<int>(SaveError::WriteFailed) << EACCES << QStringLiteral("没有访问权限");
        QTest::newRow("read-only file system") << static_cast<int>(SaveError::NotWritable) << EROFS
                                               << QStringLiteral("文件系统是只读的");
        QTest::newRow("name too long") << static_cast<int>(SaveError::WriteFailed) << ENAMETOOLONG
                                       << QStringLiteral("文件名太长");
        QTest::newRow("disk full")
            << static_cast<int>(SaveError::Incomplete) << ENOSPC << QStringLiteral("磁盘空间不足");
        QTest::newRow("device, FIFO or socket")
            << static_cast<int>(SaveError::NotAFile) << 0 << QStringLiteral("不是普通文件");
        QTest::newRow("a system error without words of its own")
            << static_cast<int>(SaveError::WriteFailed) << 9999
            << QStringLiteral("系统错误（代码 9999）");
    }

    void reasonIsChineseThroughout() {
        QFETCH(int, code);
        QFETCH(int, systemError);
        QFETCH(QString, reason);
        quorvel::Error result;
        result.kind = static_cast<SaveError>(code);
        result.systemError = systemError;
        result.message = "cannot replace \"/tmp/photos/photo.jpg\": Permission denied";
        result.path = "/tmp/photos/photo.jpg";

        const QString message = saveFailureMessage(result);
        QVERIFY2(message.startsWith(QStringLiteral("照片保存失败：")), qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("“/tmp/photos/photo.jpg”")), qPrintable(message));
        QString withoutPath = message;
        withoutPath.remove(QStringLiteral("/tmp/photos/photo.jpg"));
        QVERIFY2(!withoutPath.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))),
                 qPrintable(message));
    }

    // The per-user folder's failures, worded by kind and path as they always read.
    void userFolderFailureNamesTheStep_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("systemError");
        QTest::addColumn<QString>("text");
        const QString folder = QStringLiteral("/home/a/.local/share/quorvel");
        QTest::newRow("no HOME") << int(SaveError::NotFound) << QString() << 0
                                 << QStringLiteral(
                                        "无法确定工作文件夹：环境变量 HOME 未设置或不是绝对路径。");
        QTest::newRow("folder not created") << int(SaveError::WriteFailed) << folder << EACCES
                                            << QStringLiteral("无法创建工作文件夹：") + folder +
                                                   QStringLiteral("（Permission denied）");
        QTest::newRow("folder not entered") << int(SaveError::NotReadable) << folder << EACCES
                                            << QStringLiteral("无法进入工作文件夹：") + folder +
                                                   QStringLiteral("（Permission denied）");
        QTest::newRow("default unreadable")
            << int(SaveError::ConfigUnusable) << QStringLiteral("/usr/share/quorvel/cfg.ini") << EIO
            << QStringLiteral(
                   "无法复制默认配置文件：/usr/share/quorvel/cfg.ini（Input/output error）");
        QTest::newRow("cfg.ini not written")
            << int(SaveError::WriteFailed) << folder + QStringLiteral("/cfg.ini") << ENOSPC
            << QStringLiteral("无法写入配置文件：") + folder +
                   QStringLiteral("/cfg.ini（No space left on device）");
        QTest::newRow("cascade name is a folder")
            << int(SaveError::IsFolder) << QStringLiteral("/q/haarcascade_frontalface_alt2.xml")
            << 0
            << QStringLiteral(
                   "人脸检测文件的位置被一个文件夹占用：/q/haarcascade_frontalface_alt2.xml");
        QTest::newRow("cascade missing")
            << int(SaveError::NotFound) << QStringLiteral("/usr/share/c.xml") << ENOENT
            << QStringLiteral(
                   "人脸检测文件缺失（请安装 opencv-data）：/usr/share/c.xml（No such file "
                   "or directory）");
        QTest::newRow("cascade not copied")
            << int(SaveError::CascadeUnusable)
            << QStringLiteral("/q/haarcascade_frontalface_alt2.xml") << EACCES
            << QStringLiteral(
                   "无法复制人脸检测文件：/q/haarcascade_frontalface_alt2.xml（Permission "
                   "denied）");
        QTest::newRow("link not placed")
            << int(SaveError::WriteFailed) << QStringLiteral("/q/haarcascade_frontalface_alt2.xml")
            << EBUSY
            << QStringLiteral(
                   "无法放置人脸检测文件：/q/haarcascade_frontalface_alt2.xml（Device or resource "
                   "busy）");
    }

    void userFolderFailureNamesTheStep() {
        QFETCH(int, code);
        QFETCH(QString, path);
        QFETCH(int, systemError);
        QFETCH(QString, text);
        const quorvel::Error error{static_cast<SaveError>(code), "an English message", systemError,
                                   path.toStdString()};
        QCOMPARE(userFolderFailureMessage(error), text);
    }
};

QTEST_APPLESS_MAIN(SaveMessageTest)
#include "SaveMessageTest.moc"
