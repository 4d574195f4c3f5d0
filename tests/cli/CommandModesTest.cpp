// quorvel-audit's other modes (--show-config, --verify) and the command lines
// it refuses before auditing anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/RunAudit.h"
#include "core/save/SavePhoto.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace quorvel;
using clitest::RunAudit;
using nlohmann::json;
using testsupport::DataPath;
using testsupport::TempDir;
using testsupport::WriteBytes;

TEST(CommandModes, ShowConfigPrintsTheSettingsAsTheWindowReadsThem) {
    struct Case {
        const char* description;
        const char* config;
        json expected;
    };
    const std::vector<Case> cases = {
        {"empty file gives the defaults", "", {{"color", 3}, {"size", 1}}},
        {"case-blind names, hexadecimal and a remark",
         "[SET]\nColor = 0x2\nsize=2 ; mode two\n",
         {{"color", 2}, {"size", 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        WriteBytes(dir / "cfg.ini", c.config);
        const auto run = RunAudit({"--show-config"}, dir.path());
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.expected.dump() + "\n");
    }

    TempDir dir;
    WriteBytes(dir / "other.ini", "[set]\ncolor=1\n");
    const auto named = RunAudit({"--config", "other.ini", "--show-config"}, dir.path());
    EXPECT_EQ(named.out, "{\"color\":1,\"size\":1}\n");
}

TEST(CommandModes, VerifyTellsWhichFilesCarryThePassMarker) {
    TempDir dir;
    const cv::Mat photo(442, 295, CV_8UC3, cv::Scalar(200, 120, 40));
    ASSERT_TRUE(SaveProcessedPhoto(photo, (dir / "saved.jpg").string()).ok);
    ASSERT_TRUE(SaveProcessedPhoto(photo, (dir / "saved.png").string()).ok);
    fs::copy_file(DataPath("id_blue.jpg"), dir / "plain.jpg");
    WriteBytes(dir / "tiny", "ab");

    const auto marked = RunAudit({"--verify", "saved.jpg", "saved.png"}, dir.path());
    EXPECT_EQ(marked.status, 0);
    EXPECT_EQ(marked.out,
              "{\"file\":\"saved.jpg\",\"marker\":true}\n"
              "{\"file\":\"saved.png\",\"marker\":true}\n");

    const auto mixed =
        RunAudit({"--verify", "saved.jpg", "plain.jpg", "tiny", "gone.jpg"}, dir.path());
    EXPECT_EQ(mixed.status, 1);
    const auto lines = mixed.Lines();
    ASSERT_EQ(lines.size(), 4u);
    const std::vector<bool> expected = {true, false, false, false};
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i]["marker"], expected[i]) << i;
    EXPECT_FALSE(lines[1].contains("error"));
    EXPECT_TRUE(lines[3]["error"].is_string())
        << "a missing file is told apart from an unmarked one";
}

TEST(CommandModes, UsageAndStartUpErrorsExitWithTwoBeforeAuditing) {
    struct Case {
        const char* description;
        std::vector<std::string> args;
        const char* stderrMentions;
    };
    const std::string photo = DataPath("id_blue.jpg").string();
    const std::vector<Case> cases = {
        {"no cfg.ini and no settings given", {photo}, "cfg.ini"},
        {"only --color given and no cfg.ini", {"--color", "3", photo}, "cfg.ini"},
        {"--config names a missing file",
         {"--config", "nope.ini", "--size", "1", photo},
         "nope.ini"},
        {"--show-config without a file", {"--show-config"}, "cfg.ini"},
        {"cascade that is not XML",
         {"--color", "3", "--size", "1", "--cascade", "junk.xml", photo},
         "junk.xml"},
        {"cascade that is cut short",
         {"--color", "3", "--size", "1", "--cascade", "cut.xml", photo},
         "cut.xml"},
        {"missing cascade",
         {"--color", "3", "--size", "1", "--cascade", "none.xml", photo},
         "none.xml"},
        {"no photos", {"--color", "3", "--size", "1"}, "no photos"},
        {"--verify without files", {"--verify"}, "--verify"},
        {"unknown --ext", {"--color", "3", "--size", "1", "--ext", "gif", photo}, "--ext"},
        {"non-numeric --size", {"--color", "3", "--size", "big", photo}, "--size"},
        {"unknown option", {"--colour", "3", photo}, "--colour"},
        {"audit option with --verify", {"--verify", "--out", "x", photo}, "--out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        WriteBytes(dir / "junk.xml", "not a cascade\n");
        const std::string cascade = testsupport::ReadBytes(QUORVEL_TEST_CASCADE);
        WriteBytes(dir / "cut.xml", cascade.substr(0, cascade.size() / 3));

        const auto run = RunAudit(c.args, dir.path());
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.stderrMentions), std::string::npos) << run.err;
    }
}

TEST(CommandModes, BrokenCascadeInTheWorkingFolderIsNotSkipped) {
    TempDir dir;
    WriteBytes(dir / "haarcascade_frontalface_alt2.xml", "<opencv_storage>");
    const auto run =
        RunAudit({"--color", "3", "--size", "1", DataPath("id_blue.jpg").string()}, dir.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("haarcascade_frontalface_alt2.xml"), std::string::npos) << run.err;
}
