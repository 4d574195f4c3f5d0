// Awkward inputs and places, through both front ends: the window's audit
// path and quorvel-audit must give the same clear verdict.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <variant>

#include "core/audit/PhotoRules.h"
#include "core/session/Session.h"
#include "support/BadInputs.h"
#include "support/FrontEnds.h"
#include "support/RunAudit.h"
#include "support/TestSupport.h"

using namespace quorvel;
using frontends::FrontEnd;
using testsupport::DataPath;
using testsupport::TempDir;

namespace {

class Robustness : public testing::TestWithParam<FrontEnd> {};

std::string ParamName(const testing::TestParamInfo<FrontEnd>& info) {
    return frontends::Name(info.param);
}

}  // namespace

TEST_P(Robustness, EveryAwkwardInputGetsAClearVerdict) {
    TempDir dir;
    std::vector<std::filesystem::path> photos;
    int index = 0;
    for (const badinputs::Case& input : badinputs::Cases()) {
        const auto sub = dir / ("case" + std::to_string(index++));
        std::filesystem::create_directory(sub);
        photos.push_back(input.make(sub));
    }
    for (int size : {1, 2}) {
        const auto outcomes = frontends::AuditThrough(GetParam(), photos, 3, size);
        ASSERT_EQ(outcomes.size(), photos.size());
        for (std::size_t i = 0; i < photos.size(); ++i) {
            const badinputs::Case& input = badinputs::Cases()[i];
            SCOPED_TRACE(testing::Message() << input.description << ", size mode " << size);
            const auto& accepted = input.acceptedVerdicts;
            EXPECT_NE(std::find(accepted.begin(), accepted.end(), outcomes[i].verdict),
                      accepted.end())
                << VerdictName(outcomes[i].verdict);
            EXPECT_EQ(outcomes[i].processed.has_value(), outcomes[i].verdict == Verdict::Passed);
        }
    }
}

TEST_P(Robustness, NameThatIsNotUtf8IsAuditedLikeAnyOther) {
    TempDir dir;
    const std::filesystem::path latin1 = dir / std::string("caf\xE9 \xC0 la cr\xE8me.jpg");
    testsupport::CopyFixture("id_blue.jpg", latin1);
    const auto outcomes = frontends::AuditThrough(GetParam(), {latin1}, 3, 1);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].verdict, Verdict::Passed);
    EXPECT_EQ(outcomes[0].processed, cv::Size(295, 413));
}

INSTANTIATE_TEST_SUITE_P(BothFrontEnds, Robustness,
                         testing::Values(FrontEnd::Window, FrontEnd::Cli), ParamName);

TEST(Robustness, ExifOrientationIsAppliedBeforeTheAudit) {
    TempDir dir;
    const auto& cases = badinputs::Cases();
    auto exif = std::find_if(cases.begin(), cases.end(), [](const badinputs::Case& c) {
        return c.description.find("EXIF") != std::string::npos;
    });
    ASSERT_NE(exif, cases.end());
    const cv::Mat photo = DecodePhoto(exif->make(dir.path())).image;
    EXPECT_EQ(photo.size(), cv::Size(480, 640));  // stored as 640 x 480
}

// The working folder of either front end where the log cannot be written:
// Test.log a folder, or the whole folder read-only. The audit still runs.
TEST(Robustness, LogThatCannotBeOpenedLeavesTheAuditRunning) {
    TempDir dir;
    std::filesystem::create_directory(dir / "Test.log");
    testsupport::ScopedCwd cwd(dir.path());
    SessionOptions options;
    options.color = BackgroundColor::Any;
    options.size = SizeMode::Mode1;
    options.cascadeCandidates = {QUORVEL_TEST_CASCADE};
    auto opened = Session::Open(options);
    ASSERT_TRUE(opened.ok());
    Session& session = *opened;
    EXPECT_FALSE(session.OpenLogWithStartupLine());
    EXPECT_FALSE(session.log().IsOpen());
    const AuditReport report = session.Audit(DataPath("id_blue.jpg"));
    EXPECT_FALSE(session.LogVerdict(DataPath("id_blue.jpg"), report.verdict))
        << "a verdict that is not logged is reported";
    EXPECT_EQ(report.verdict, Verdict::Passed);

    const auto run = clitest::RunAudit({"--log", "--color", "3", "--size", "1", "--cascade",
                                        QUORVEL_TEST_CASCADE, DataPath("id_blue.jpg").string()},
                                       dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.Lines().size(), 1u);
    EXPECT_EQ(run.Lines()[0].at("state").get<int>(), 1);
}

TEST(Robustness, RunsInAReadOnlyWorkingDirectory) {
    TempDir dir;
    const auto mountPoint = dir / "readonly";
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a read-only tmpfs here (needs root and mount rights)";
    }
    const auto run = clitest::RunAudit({"--log", "--color", "3", "--size", "1", "--cascade",
                                        QUORVEL_TEST_CASCADE, DataPath("id_blue.jpg").string()},
                                       mountPoint);
    ::umount(mountPoint.c_str());
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.Lines().size(), 1u);
    EXPECT_EQ(run.Lines()[0].at("state").get<int>(), 1);
}
