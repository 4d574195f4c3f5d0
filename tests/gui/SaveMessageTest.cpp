#include <QRegularExpression>
#include <QtTest>
#include <cerrno>

#include "gui/SaveMessage.h"

using namespace quorvel::gui;

using SaveError = quorvel::ErrorKind;

// The window's save failure message: Chinese throughout, the system's reason
// included, whatever English text quorvel-audit gets for the same failure.
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
};

QTEST_APPLESS_MAIN(SaveMessageTest)
#include "SaveMessageTest.moc"
