// quorvel-audit's other modes (--show-config, --verify) and the command lines
// it refuses before auditing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/save/SavePhoto.h"
#include "support/RunAudit.h"
#include "support/RunInProcess.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace quorvel;
using clitest::RunAudit;
using clitest::RunInProcess;
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

// Without ./cfg.ini the per-user settings are read, and standard error says
// so; ./cfg.ini, --config, and both settings on the command line come first.
TEST(CommandModes, MissingLocalSettingsFallBackToThePerUserOnes) {
    struct Case {
        const char* description;
        bool localFile;
        std::vector<std::string> args;
        int status;
        const char* out;    // the start of standard output
        const char* notes;  // in standard error; empty: nothing at all
    };
    const std::string photo = DataPath("id_blue.jpg").string();
    const std::vector<Case> cases = {
        {"per-user file read",
         false,
         {"--show-config"},
         0,
         "{\"color\":1,\"size\":2}",
         "no ./cfg.ini; reading the per-user settings "},
        {"./cfg.ini first", true, {"--show-config"}, 0, "{\"color\":2,\"size\":1}", ""},
        {"--config is never replaced",
         false,
         {"--config", "none.ini", "--show-config"},
         2,
         "",
         "none.ini"},
        {"both settings given: no file read",
         false,
         {"--color", "3", "--size", "1", photo},
         0,
         "{",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        fs::create_directories(dir / "data" / "quorvel");
        WriteBytes(dir / "data" / "quorvel" / "cfg.ini", "[set]\ncolor=1\nsize=2\n");
        fs::create_directories(dir / "work");
        if (c.localFile) WriteBytes(dir / "work" / "cfg.ini", "[set]\ncolor=2\n");
        const auto run = RunAudit(c.args, dir / "work", {}, dir / "data");
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out.rfind(c.out, 0), 0u) << run.out;
        if (std::string(c.notes).empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(c.notes), std::string::npos) << run.err;
        }
    }
}

TEST(CommandModes, VerifyTellsWhichFilesAreGenuineSavedPhotos) {
    TempDir dir;
    testsupport::CopyFixture("id_blue.jpg", dir / "plain.jpg");
    for (const char* ext : {"jpg", "png"}) {
        const auto saved =
            RunAudit({"--color", "3", "--size", "1", "--out", "saved", "--ext", ext, "plain.jpg"},
                     dir.path());
        ASSERT_EQ(saved.status, 0) << saved.err;
    }
    const cv::Mat flat(413, 295, CV_8UC3, cv::Scalar(200, 120, 40));  // a size mode 1 size
    ASSERT_TRUE(testsupport::Save(flat, (dir / "flat.jpg").string()).ok);
    WriteBytes(dir / "tiny", "ab");
    WriteBytes(dir / "cfg.ini", "[set]\ncolor=2\nsize=1\n");

    const auto genuine = RunAudit({"--verify", "saved/plain.jpg", "saved/plain.png"}, dir.path());
    EXPECT_EQ(genuine.status, 0) << genuine.err;
    EXPECT_EQ(genuine.out,
              "{\"file\":\"saved/plain.jpg\",\"marker\":true,\"genuine\":true,\"problems\":[],"
              "\"checks\":[]}\n"
              "{\"file\":\"saved/plain.png\",\"marker\":true,\"genuine\":true,\"problems\":[],"
              "\"checks\":[]}\n");

    struct Row {
        const char* file;
        bool marker;
        bool genuine;
        const char* problemMentions;  // "" when genuine; the check's rule, not its sentence
    };
    const std::vector<Row> rows = {
        {"saved/plain.jpg", true, true, ""},
        {"plain.jpg", false, false, "verify.marker"},
        {"flat.jpg", true, false, "verify.face.count"},
        {"tiny", false, false, "verify.marker"},
        {"gone.jpg", false, false, "no such file"},
    };
    std::vector<std::string> args = {"--verify"};
    for (const Row& row : rows) args.push_back(row.file);
    const auto mixed = RunAudit(args, dir.path());
    EXPECT_EQ(mixed.status, 1);
    const auto lines = mixed.Lines();
    ASSERT_EQ(lines.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].file);
        EXPECT_EQ(lines[i]["file"], rows[i].file);
        EXPECT_EQ(lines[i]["marker"], rows[i].marker);
        EXPECT_EQ(lines[i]["genuine"], rows[i].genuine);
        EXPECT_EQ(lines[i]["problems"].empty(), rows[i].genuine);
        if (!rows[i].genuine) {
            EXPECT_NE(lines[i]["problems"].dump().find(rows[i].problemMentions), std::string::npos)
                << lines[i].dump();
        }
    }
    EXPECT_TRUE(lines[4]["error"].is_string())
        << "a missing file is told apart from an unmarked one";

    // The settings come from the flags over the configuration file: blue
    // passes with the file's colour 2, not when white only is asked for.
    const auto white = RunAudit({"--color", "0", "--verify", "saved/plain.jpg"}, dir.path());
    EXPECT_EQ(white.status, 1);
    EXPECT_NE(white.out.find("accepts only white"), std::string::npos) << white.out;
    const auto otherSize = RunAudit({"--size", "2", "--verify", "saved/plain.png"}, dir.path());
    EXPECT_EQ(otherSize.status, 1);
    EXPECT_NE(otherSize.out.find("size mode 2 saves"), std::string::npos) << otherSize.out;
}

// What the parser refuses is tested in tests/cli/options; these are refused
// when the command starts, from its library.
TEST(CommandModes, StartUpErrorsExitWithTwoBeforeAuditing) {
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
        {"--verify without cfg.ini or settings", {"--verify", photo}, "cfg.ini"},
        {"--verify with a missing cascade",
         {"--color", "3", "--size", "1", "--cascade", "none.xml", "--verify", photo},
         "none.xml"},
        {"missing list", {"--color", "3", "--size", "1", "--files-from", "none.txt"}, "none.txt"},
        {"--resume that is a folder",
         {"--color", "3", "--size", "1", "--resume", ".", photo},
         "results"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        WriteBytes(dir / "junk.xml", "not a cascade\n");
        const std::string cascade = testsupport::ReadBytes(QUORVEL_TEST_CASCADE);
        WriteBytes(dir / "cut.xml", cascade.substr(0, cascade.size() / 3));

        const auto run = RunInProcess(c.args, dir.path());
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

TEST(CommandModes, VerifyExplainsEveryCheckAndGoesOnPastFilesItCannotRead) {
    TempDir dir;
    testsupport::CopyFixture("id_blue.jpg", dir / "plain.jpg");
    const auto saved =
        RunAudit({"--color", "3", "--size", "1", "--out", "saved", "plain.jpg"}, dir.path());
    ASSERT_EQ(saved.status, 0) << saved.err;
    // A sparse 3 GB file ending in the marker: refused unread, the run goes on.
    {
        std::ofstream huge(dir / "huge.jpg", std::ios::binary);
        huge.seekp(3LL * 1024 * 1024 * 1024);
        const auto marker = MakePassMarker();
        huge.write(reinterpret_cast<const char*>(marker.data()),
                   static_cast<std::streamsize>(marker.size()));
    }
    fs::create_directory(dir / "folder.jpg");

    const auto run = RunAudit({"--color", "3", "--size", "1", "--explain", "--verify", "huge.jpg",
                               "folder.jpg", "saved/plain.jpg"},
                              dir.path());
    EXPECT_EQ(run.status, 1) << run.err;
    const auto lines = run.Lines();
    ASSERT_EQ(lines.size(), 3u) << run.out << run.err;

    struct Row {
        const char* description;
        bool genuine;
        const char* errorMentions;  // "" for no error
        const char* firstRule;
    };
    const std::vector<Row> rows = {
        {"3 GB file", false, "3221225482 bytes", "verify.file"},
        {"a folder", false, "folder", "verify.file"},
        {"a genuine save", true, "", "verify.marker"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].description);
        const json& line = lines[i];
        EXPECT_EQ(line["genuine"], rows[i].genuine);
        ASSERT_FALSE(line["checks"].empty()) << line.dump();
        EXPECT_EQ(line["checks"][0]["rule"], rows[i].firstRule);
        if (*rows[i].errorMentions != '\0') {
            EXPECT_NE(line["error"].get<std::string>().find(rows[i].errorMentions),
                      std::string::npos)
                << line.dump();
            EXPECT_NE(line["problems"][0].get<std::string>().find("verify.file"),
                      std::string::npos);
        } else {
            EXPECT_FALSE(line.contains("error")) << line.dump();
        }
    }
    EXPECT_EQ(lines[0]["checks"][0]["measured"]["value"], 3221225482.0) << "the length, unread";
    EXPECT_EQ(lines[0]["checks"][0]["limit"]["max"], 4194304.0);
    // With --explain every check of the genuine save is listed, passed, with
    // what was measured against its limit.
    const json& checks = lines[2]["checks"];
    std::vector<std::string> rules;
    for (const json& check : checks) {
        EXPECT_TRUE(check["passed"].get<bool>()) << check.dump();
        rules.push_back(check["rule"]);
    }
    for (const char* rule : {"verify.layout", "verify.quantisation", "verify.size",
                             "verify.background.colour", "verify.background.coverage",
                             "verify.face.share", "verify.face.centre", "verify.face.top"}) {
        EXPECT_NE(std::find(rules.begin(), rules.end(), rule), rules.end()) << rule;
    }
    for (const json& check : checks) {
        if (check["rule"] == "verify.background.coverage") {
            EXPECT_GT(check["measured"]["value"].get<double>(),
                      check["limit"]["min"].get<double>());
        }
    }
}
