#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "core/log/ActivityLog.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::FixedTime;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

const std::string kStamp = "2015-03-05 09:07:02\t";

}  // namespace

TEST(Log, StartupEntryHasTheExactBytes) {
    TempDir dir;
    ActivityLog log((dir / "Test.log").string());
    log.SetClock(FixedTime);
    ASSERT_TRUE(log.Open());
    const Result<std::size_t> written = log.Write("系统启动\r\n");
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, 10u);
    EXPECT_EQ(ReadBytes(dir / "Test.log"), kStamp + "\xCF\xB5\xCD\xB3\xC6\xF4\xB6\xAF\r\n");
}

TEST(Log, OpenReturnsTheStreamOnlyOnce) {
    TempDir dir;
    ActivityLog log((dir / "Test.log").string());
    EXPECT_TRUE(log.Open());
    EXPECT_FALSE(*log.Open());
}

TEST(Log, WritesNothingWithoutAnOpenStream) {
    TempDir dir;
    ActivityLog log((dir / "Test.log").string());
    EXPECT_EQ(*log.Write("x\r\n"), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "Test.log"));
}

TEST(Log, SecondRunAppendsToTheFirst) {
    TempDir dir;
    const std::string path = (dir / "Test.log").string();
    for (int run = 0; run < 2; ++run) {
        ActivityLog log(path);
        log.SetClock(FixedTime);
        ASSERT_TRUE(log.Open());
        ASSERT_TRUE(log.Write("a.jpg图像审核成功！\r\n"));
    }
    const std::string line =
        kStamp + "a.jpg\xCD\xBC\xCF\xF1\xC9\xF3\xBA\xCB\xB3\xC9\xB9\xA6\xA3\xA1\r\n";
    EXPECT_EQ(ReadBytes(path), line + line);
}

TEST(Log, PercentInAnArgumentIsWrittenUnchanged) {
    TempDir dir;
    ActivityLog log((dir / "Test.log").string());
    log.SetClock(FixedTime);
    (void)log.Open();
    ASSERT_TRUE(log.Write("100%s%d.jpg!\r\n"));
    EXPECT_EQ(ReadBytes(dir / "Test.log"), kStamp + "100%s%d.jpg!\r\n");
}

TEST(Log, CharacterOutsideGbkBecomesQuestionMark) {
    TempDir dir;
    ActivityLog log((dir / "Test.log").string());
    log.SetClock(FixedTime);
    (void)log.Open();
    ASSERT_TRUE(log.Write("a\U0001F600b\r\n"));
    EXPECT_EQ(ReadBytes(dir / "Test.log"), kStamp + "a?b\r\n");
}

TEST(Log, OverlongMessageIsCutAtACharacterAndStillEndsTheLine) {
    TempDir dir;
    ActivityLog log((dir / "Test.log").string());
    log.SetClock(FixedTime);
    (void)log.Open();
    // 600 two-byte characters need 1200 bytes: more than one entry holds.
    std::string longName;
    for (int i = 0; i < 600; ++i) longName += "图";
    const Result<std::size_t> written = log.Write(longName + "\r\n");
    ASSERT_TRUE(written);
    ASSERT_TRUE(log.Write("next\r\n"));

    const std::string content = ReadBytes(dir / "Test.log");
    const std::size_t firstEnd = content.find("\r\n");
    ASSERT_NE(firstEnd, std::string::npos);
    const std::string first = content.substr(0, firstEnd + 2);
    EXPECT_EQ(*written, first.size() - kStamp.size());
    EXPECT_LE(first.size() - kStamp.size(), ActivityLog::kMaxMessageBytes);
    // Only whole two-byte characters before the line end.
    EXPECT_EQ((first.size() - kStamp.size() - 2) % 2, 0u);
    EXPECT_EQ(content.substr(firstEnd + 2), kStamp + "next\r\n");
}

TEST(Log, MessageLongerThanTheFormatBufferStillEndsTheLine) {
    TempDir dir;
    ActivityLog log((dir / "Test.log").string());
    log.SetClock(FixedTime);
    (void)log.Open();
    std::string longName(2000, 'a');
    ASSERT_TRUE(log.Write(longName + "\r\n"));
    ASSERT_TRUE(log.Write("next\r\n"));
    const std::string content = ReadBytes(dir / "Test.log");
    EXPECT_EQ(content.substr(content.size() - kStamp.size() - 6), kStamp + "next\r\n");
    EXPECT_EQ(content.find("\r\n"), kStamp.size() + 1022u);
}

TEST(Log, UnopenableFileLeavesTheLogClosed) {
    TempDir dir;
    // A path whose folder is a regular file cannot be opened even by root.
    testsupport::WriteBytes(dir / "plain", "x");
    ActivityLog log((dir / "plain" / "Test.log").string());
    EXPECT_FALSE(log.Open());
    EXPECT_EQ(*log.Write("x\r\n"), 0u);
}

// A write that fails (here the file may not grow, as on a full disk) is
// reported with the system's reason and leaves the log as it was; the next
// write that can be made is made.
TEST(Log, FailedWriteIsReportedAndLosesNothingWritten) {
    TempDir dir;
    ActivityLog log(dir / "Test.log");
    log.SetClock(FixedTime);
    ASSERT_TRUE(log.Open());
    ASSERT_TRUE(log.Write("a\r\n"));
    const std::string before = ReadBytes(dir / "Test.log");
    {
        const testsupport::FileSizeLimit full(before.size());
        const Result<std::size_t> failed = log.Write("b\r\n");
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error().kind, ErrorKind::WriteFailed);
        EXPECT_EQ(failed.error().systemError, EFBIG);
        EXPECT_EQ(failed.error().path, dir / "Test.log");
        EXPECT_NE(failed.error().message.find("cannot write"), std::string::npos);
    }
    EXPECT_EQ(ReadBytes(dir / "Test.log"), before);
    ASSERT_TRUE(log.Write("c\r\n"));
    EXPECT_EQ(ReadBytes(dir / "Test.log"), before + kStamp + "c\r\n");
}
