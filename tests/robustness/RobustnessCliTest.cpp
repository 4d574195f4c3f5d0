#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>

#include "audit/AuditState.h"
#include "cli/RunAudit.h"
#include "robustness/BadInputs.h"
#include "support/TestSupport.h"

using testsupport::TempDir;

TEST(RobustnessCli, EveryAwkwardInputGetsAVerdictLine) {
    TempDir dir;
    std::vector<std::string> args = {"--color", "3",         "--size",
                                     "1",       "--cascade", QUORVEL_TEST_CASCADE};
    std::vector<const badinputs::Case*> cases;
    int index = 0;
    for (const badinputs::Case& input : badinputs::Cases()) {
        const auto sub = dir / ("case" + std::to_string(index++));
        std::filesystem::create_directory(sub);
        args.push_back(input.make(sub).string());
        cases.push_back(&input);
    }
    clitest::RunOutput run = clitest::RunAudit(args, dir.path());
    EXPECT_EQ(run.status, 1) << run.err;
    const auto lines = run.Lines();
    ASSERT_EQ(lines.size(), cases.size()) << run.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(cases[i]->description);
        const int state = lines[i].at("state").get<int>();
        const auto& accepted = cases[i]->acceptedStates;
        EXPECT_NE(std::find(accepted.begin(), accepted.end(), state), accepted.end())
            << AuditStateName(state);
        EXPECT_EQ(lines[i].at("verdict").get<std::string>(), AuditStateName(state));
    }
}

TEST(RobustnessCli, RunsInAFolderThatCannotBeWritten) {
    TempDir dir;
    // Test.log is a folder: the log cannot be opened, the audit still runs.
    std::filesystem::create_directory(dir / "Test.log");
    clitest::RunOutput run =
        clitest::RunAudit({"--log", "--color", "3", "--size", "1", "--cascade",
                           QUORVEL_TEST_CASCADE, testsupport::DataPath("id_blue.jpg").string()},
                          dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.Lines().size(), 1u);
    EXPECT_EQ(run.Lines()[0].at("state").get<int>(), AUDIT_PASSED);
}

TEST(RobustnessCli, RunsInAReadOnlyWorkingDirectory) {
    TempDir dir;
    const auto mountPoint = dir / "readonly";
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a read-only tmpfs here (needs root and mount rights)";
    }
    clitest::RunOutput run =
        clitest::RunAudit({"--log", "--color", "3", "--size", "1", "--cascade",
                           QUORVEL_TEST_CASCADE, testsupport::DataPath("id_blue.jpg").string()},
                          mountPoint);
    ::umount(mountPoint.c_str());
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.Lines().size(), 1u);
    EXPECT_EQ(run.Lines()[0].at("state").get<int>(), AUDIT_PASSED);
}
