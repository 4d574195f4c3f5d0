// Starting a session, its cascade and its log lines.
#include <gtest/gtest.h>

#include <variant>

#include "core/session/Session.h"
#include "core/text/Encoding.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::DataPath;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

const std::filesystem::path kCascade = QUORVEL_TEST_CASCADE;

}  // namespace

TEST(Session, StartupFailuresComeBackAsValues) {
    struct Row {
        const char* description;
        bool cascadeInFolder;
        const char* config;  // nullptr: no cfg.ini
        std::optional<ErrorKind> failure;
    };
    const Row rows[] = {
        {"both files present", true, "[set]\ncolor=2\nsize=2\n", std::nullopt},
        {"no cascade", false, "[set]\n", ErrorKind::CascadeUnusable},
        {"no cfg.ini", true, nullptr, ErrorKind::ConfigUnusable},
        {"neither: the cascade is checked first", false, nullptr, ErrorKind::CascadeUnusable},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        if (row.cascadeInFolder)
            std::filesystem::copy_file(kCascade, dir / kCascadeFileName.string());
        if (row.config != nullptr) WriteBytes(dir / "cfg.ini", row.config);
        testsupport::ScopedCwd cwd(dir.path());
        auto opened = Session::Open(WindowSessionOptions());
        if (row.failure) {
            ASSERT_TRUE(!opened.ok());
            EXPECT_EQ(opened.error().kind, *row.failure);
        } else {
            ASSERT_TRUE(opened.ok());
            const Settings& settings = opened->settings();
            EXPECT_EQ(settings.color, BackgroundColor::Blue);
            EXPECT_EQ(settings.size, SizeMode::Mode2);
        }
    }
}

TEST(Session, CascadeIsTheFirstCandidateThatExists) {
    TempDir dir;
    WriteBytes(dir / "broken.xml", "<opencv_storage>");
    SessionOptions options;
    options.color = BackgroundColor::Any;
    options.size = SizeMode::Mode1;

    options.cascadeCandidates = {dir / "missing.xml", kCascade};
    auto opened = Session::Open(options);
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(opened->cascadePath(), kCascade);

    // An existing but unreadable candidate is used, and fails; none existing names the last.
    options.cascadeCandidates = {dir / "broken.xml", kCascade};
    auto broken = Session::Open(options);
    ASSERT_TRUE(!broken.ok());
    EXPECT_EQ(broken.error().path, dir / "broken.xml");
    options.cascadeCandidates = {dir / "a.xml", dir / "b.xml"};
    auto none = Session::Open(options);
    ASSERT_TRUE(!none.ok());
    EXPECT_EQ(none.error().path, dir / "b.xml");
}

TEST(Session, StartupLineOnlyOnAFreshOpenAndVerdictLinesByFileName) {
    TempDir dir;
    SessionOptions options;
    options.color = BackgroundColor::Any;
    options.size = SizeMode::Mode1;
    options.cascadeCandidates = {kCascade};
    options.logPath = dir / "Test.log";
    auto opened = Session::Open(options);
    ASSERT_TRUE(opened.ok());
    Session& session = *opened;
    ASSERT_TRUE(session.OpenLogWithStartupLine());
    ASSERT_TRUE(session.OpenLogWithStartupLine());
    const auto photo = DataPath("id_blue.jpg");
    ASSERT_TRUE(session.LogVerdict(photo, session.Audit(photo).verdict));

    const std::string log = ReadBytes(dir / "Test.log");
    const std::string startup = "\xCF\xB5\xCD\xB3\xC6\xF4\xB6\xAF\r\n";  // 系统启动 in GBK
    const std::string passed = "id_blue.jpg" + Utf8ToGbk("图像审核成功！", 1024).bytes + "\r\n";
    ASSERT_EQ(log.size(), 20 + startup.size() + 20 + passed.size()) << log;
    EXPECT_EQ(log.substr(20, startup.size()), startup);
    EXPECT_EQ(log.substr(40 + startup.size()), passed);
}
