#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/log/ActivityLog.h"
#include "core/text/Encoding.h"
#include "support/TestSupport.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using testsupport::FixedTime;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

// Run as the user nobody, for whom permissions count.
TEST(LogPrivilege, EarlierEntriesSurviveWhateverTheLogMayBeOpenedFor) {
    if (!testsupport::CanDropPrivileges()) GTEST_SKIP() << "needs root to become nobody";
    const std::string earlier = "2015-03-04 18:00:00\tearlier entry\r\n";
    const std::string entry =
        std::string("2015-03-05 09:07:02\t") + quorvel::Utf8ToGbk("系统启动", 100).bytes + "\r\n";
    struct Row {
        const char* description;
        bool exists;
        mode_t mode;
        bool opened;
        std::string expected;
    };
    const Row rows[] = {
        {"written but not read: appended", true, 0222, true, earlier + entry},
        {"read and written: appended", true, 0644, true, earlier + entry},
        {"read only: no log, nothing changed", true, 0444, false, earlier},
        {"missing: created", false, 0, true, entry},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        ASSERT_EQ(::chown(dir.path().c_str(), testsupport::kNobodyId, testsupport::kNobodyId), 0);
        const fs::path logPath = dir / "Test.log";
        if (row.exists) {
            WriteBytes(logPath, earlier);
            ASSERT_EQ(::chown(logPath.c_str(), testsupport::kNobodyId, testsupport::kNobodyId), 0);
            ASSERT_EQ(::chmod(logPath.c_str(), row.mode), 0);
        }
        const auto outcome = testsupport::RunAsNobody([&logPath] {
            quorvel::ActivityLog log(logPath);
            log.SetClock(FixedTime);
            if (!log.Open()) return std::string("none");
            if (!log.Write("系统启动\r\n")) return std::string("not written");
            return std::string("opened");
        });
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(*outcome, row.opened ? "opened" : "none");
        EXPECT_EQ(ReadBytes(logPath), row.expected);
    }
}
