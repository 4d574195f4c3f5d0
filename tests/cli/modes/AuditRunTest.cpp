// quorvel-audit over real photos: the JSON lines, the exit status, the saved
// files and the log.
#include <gtest/gtest.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "core/audit/Auditor.h"
#include "core/audit/PhotoRules.h"
#include "core/save/SavePhoto.h"
#include "support/FileSizeLimit.h"
#include "support/RunAudit.h"
#include "support/RunInProcess.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace quorvel;
using clitest::RunAudit;
using nlohmann::json;
using testsupport::CopyFixture;
using testsupport::DataPath;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

// The bytes the window's Save writes for this photo's processed photo,
// before the marker.
std::vector<uchar> ExpectedImageBytes(const fs::path& photo, const Settings& settings,
                                      const std::string& extension, cv::Size& size) {
    Auditor auditor(testsupport::Cascade(), settings);
    const AuditReport result = auditor.Audit(photo);
    EXPECT_EQ(result.verdict, Verdict::Passed);
    const cv::Mat& processed = result.processedPhoto;
    std::vector<uchar> bytes;
    cv::imencode(extension, processed, bytes, {cv::IMWRITE_JPEG_QUALITY, kSaveJpegQuality});
    size = processed.size();
    return bytes;
}

}  // namespace

TEST(AuditRun, MixedBatchGivesOneLinePerPhotoInOrder) {
    TempDir dir;
    CopyFixture("id_blue.jpg", dir / "photos/id_blue.jpg");
    const std::string noFace = DataPath("no_face.jpg").string();
    const std::string portrait = DataPath("portrait.jpg").string();
    const std::string group = DataPath("group.jpg").string();

    const auto run = RunAudit({"--color", "3", "--size", "1", "photos/id_blue.jpg", noFace,
                               portrait, "missing.jpg", group, "caf\xE9.jpg"},
                              dir.path());
    EXPECT_EQ(run.status, 3) << "some inputs could not be read";
    EXPECT_EQ(run.err,
              "quorvel-audit: missing.jpg: no such file\n"
              "quorvel-audit: caf\\xe9.jpg: no such file\n"
              "quorvel-audit: 2 inputs could not be read; their lines carry an \"error\"\n")
        << "no progress but on a terminal";

    struct Expected {
        const char* description;
        std::string file;
        int state;
        const char* verdict;
        bool face;
        bool error = false;
    };
    const std::vector<Expected> expected = {
        {"plain blue background passes", "photos/id_blue.jpg", 1, "AUDIT_PASSED", true},
        {"no face", noFace, 4, "AUDIT_NO_FACE", false},
        {"face found but file under 30 KiB", portrait, 6, "AUDIT_TOO_SMALL", true},
        {"missing file keeps its verdict and says why", "missing.jpg", 3, "AUDIT_BAD_FORMAT", false,
         true},
        {"three faces", group, 4, "AUDIT_NO_FACE", false},
        {"name not in UTF-8 is printed with U+FFFD", "caf\xEF\xBF\xBD.jpg", 3, "AUDIT_BAD_FORMAT",
         false, true},
    };
    const auto lines = run.Lines();
    ASSERT_EQ(lines.size(), expected.size()) << run.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].description);
        const json& line = lines[i];
        EXPECT_EQ(line["file"], expected[i].file);
        EXPECT_EQ(line["state"], expected[i].state);
        EXPECT_EQ(line["verdict"], expected[i].verdict);
        if (expected[i].face) {
            ASSERT_TRUE(line["face"].is_array());
            EXPECT_EQ(line["face"].size(), 4u);
        } else {
            EXPECT_TRUE(line["face"].is_null());
        }
        if (expected[i].state == 1) {
            EXPECT_EQ(line["processed"],
                      json({{"width", 295}, {"height", 413}, {"path", nullptr}}));
        } else {
            EXPECT_TRUE(line["processed"].is_null());
        }
        EXPECT_FALSE(line.contains("trace"));
        EXPECT_EQ(line.contains("error"), expected[i].error);
    }
}

TEST(AuditRun, SettingsComeFromFlagsFirstThenTheConfigurationFile) {
    struct Case {
        const char* description;
        const char* configName;  // nullptr: no file written
        const char* config;
        std::vector<std::string> flags;
        std::vector<int> states;  // for id_blue.jpg, id_red.jpg
        int sizeMode;             // shown by the processed photo's proportions
    };
    const std::vector<Case> cases = {
        {"file asks for blue in mode 2", "cfg.ini", "[set]\ncolor=2\nsize=2\n", {}, {1, 2}, 2},
        {"--color overrides the file, size still read from it",
         "cfg.ini",
         "[set]\ncolor=2\nsize=2\n",
         {"--color", "3"},
         {1, 1},
         2},
        {"both flags need no file", nullptr, "", {"--color", "3", "--size", "1"}, {1, 1}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        if (c.configName != nullptr) WriteBytes(dir / c.configName, c.config);
        std::vector<std::string> args = c.flags;
        args.push_back(DataPath("id_blue.jpg").string());
        args.push_back(DataPath("id_red.jpg").string());

        const auto run = RunAudit(args, dir.path());
        const auto lines = run.Lines();
        ASSERT_EQ(lines.size(), 2u) << run.err;
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(lines[i]["state"], c.states[i]);
            if (c.states[i] != 1) continue;
            const int width = lines[i]["processed"]["width"];
            const int height = lines[i]["processed"]["height"];
            const double aspect = c.sizeMode == 2 ? 1.5 : 1.4;
            EXPECT_GE(width, c.sizeMode == 2 ? 295 : 215);
            EXPECT_LE(width, c.sizeMode == 2 ? 413 : 295);
            EXPECT_NEAR(height, width * aspect, 1.0);
        }
        const bool allPassed = c.states[0] == 1 && c.states[1] == 1;
        EXPECT_EQ(run.status, allPassed ? 0 : 1);
    }
}

TEST(AuditRun, OutWritesTheSavedPhotoWithItsPassMarker) {
    struct Case {
        const char* description;
        std::vector<std::string> flags;
        const char* outDir;
        const char* extension;
    };
    const std::vector<Case> cases = {
        {"JPEG by default", {"--out", "out"}, "out", ".jpg"},
        {"lossless PNG, folder created", {"--out", "out/new", "--ext", "png"}, "out/new", ".png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        const fs::path photo = dir / "照片.jpg";
        CopyFixture("id_white.jpg", photo);
        std::vector<std::string> args = {"--color", "0", "--size", "2"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        args.push_back("照片.jpg");

        const auto run = RunAudit(args, dir.path());
        EXPECT_EQ(run.status, 0) << run.err;
        const auto lines = run.Lines();
        ASSERT_EQ(lines.size(), 1u);
        const std::string savedName = std::string(c.outDir) + "/照片" + c.extension;
        EXPECT_EQ(lines[0]["processed"]["path"], savedName);

        cv::Size size;
        const std::vector<uchar> image = ExpectedImageBytes(
            photo, Settings{BackgroundColor::White, SizeMode::Mode2}, c.extension, size);
        const std::string saved = ReadBytes(dir / savedName);
        ASSERT_EQ(saved.size(), image.size() + kPassMarkerLength);
        EXPECT_EQ(saved.compare(0, image.size(), std::string(image.begin(), image.end())), 0);
        EXPECT_TRUE(HasPassMarker(dir / savedName));
        EXPECT_EQ(saved.substr(saved.size() - 2), std::string(2, '\0'));
        EXPECT_EQ(lines[0]["processed"]["width"], size.width);
        EXPECT_EQ(lines[0]["processed"]["height"], size.height);
    }
}

// Decided before the first audit: run from the library.
TEST(AuditRun, SaveThatCannotBeMadeKeepsTheVerdictAndFailsTheRun) {
    struct Case {
        const char* description;
        std::vector<std::string> photos;  // relative to the working folder
        const char* outDir;
        std::size_t failingLine;
    };
    const std::vector<Case> cases = {
        {"second photo of the same name would replace the first",
         {"a/id_blue.jpg", "b/id_blue.jpg"},
         "out",
         1},
        {"saved photo would replace the photo itself", {"a/id_blue.jpg"}, "a", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        WriteBytes(dir / "blocker", "not a folder");
        CopyFixture("id_blue.jpg", dir / "a/id_blue.jpg");
        CopyFixture("id_blue.jpg", dir / "b/id_blue.jpg");
        const std::string original = ReadBytes(dir / "a/id_blue.jpg");
        std::vector<std::string> args = {"--color", "2", "--size", "1", "--out", c.outDir};
        args.insert(args.end(), c.photos.begin(), c.photos.end());

        const auto run = clitest::RunInProcess(args, dir.path());
        EXPECT_EQ(run.status, 1);
        const auto lines = run.Lines();
        ASSERT_EQ(lines.size(), c.photos.size());
        const json& failed = lines[c.failingLine];
        EXPECT_EQ(failed["verdict"], "AUDIT_PASSED");
        EXPECT_TRUE(failed["processed"]["path"].is_null());
        ASSERT_TRUE(failed["error"].is_string());
        EXPECT_FALSE(failed["error"].get<std::string>().empty());
        EXPECT_NE(run.err.find(c.photos[c.failingLine]), std::string::npos) << run.err;

        EXPECT_EQ(ReadBytes(dir / "a/id_blue.jpg"), original) << "the photo is untouched";
        if (c.failingLine == 1) {
            // Neither photo of a shared name is saved: which one would win
            // must not depend on the order or on how a run is split.
            EXPECT_TRUE(lines[0]["processed"]["path"].is_null());
            EXPECT_FALSE(fs::exists(dir / "out/id_blue.jpg"));
        }
    }
}

TEST(AuditRun, LogAppendsTheWindowsVerdictLinesInGbk) {
    TempDir dir;
    CopyFixture("no_face.jpg", dir / "照片%d.jpg");
    WriteBytes(dir / "Test.log", "earlier\r\n");

    const auto run = RunAudit({"--color", "3", "--size", "1", "--log",
                               DataPath("id_blue.jpg").string(), "照片%d.jpg", "gone/x.jpg"},
                              dir.path());
    EXPECT_EQ(run.status, 3) << "gone/x.jpg could not be read";

    // Each entry: "YYYY-MM-DD hh:mm:ss", a tab, the file name and the verdict text in GBK.
    const std::vector<std::string> messages = {
        "id_blue.jpg\xCD\xBC\xCF\xF1\xC9\xF3\xBA\xCB\xB3\xC9\xB9\xA6\xA3\xA1",
        "\xD5\xD5\xC6\xAC%d.jpg\xB2\xBB\xCA\xC7\xB4\xBF\xB1\xB3\xBE\xB0\xA3\xAC\xBB\xF2\xD5\xDF"
        "\xB1\xB3\xBE\xB0\xB8\xB4\xD4\xD3\xA3\xAC\xCA\xB6\xB1\xF0\xB3\xF6\xB4\xED\xA3\xA1",
        "x.jpg\xCE\xC4\xBC\xFE\xB8\xF1\xCA\xBD\xB2\xBB\xB7\xFB\xBA\xCF\xD2\xAA\xC7\xF3\xA3\xA1",
    };
    const std::string log = ReadBytes(dir / "Test.log");
    ASSERT_EQ(log.rfind("earlier\r\n", 0), 0u) << "appended, not replaced";
    std::size_t at = 9;
    for (const std::string& message : messages) {
        SCOPED_TRACE(message);
        ASSERT_LE(at + 20, log.size());
        const std::string stamp = log.substr(at, 20);
        EXPECT_EQ(stamp[4], '-');
        EXPECT_EQ(stamp[10], ' ');
        EXPECT_EQ(stamp[19], '\t');
        EXPECT_EQ(log.substr(at + 20, message.size() + 2), message + "\r\n");
        at += 20 + message.size() + 2;
    }
    EXPECT_EQ(at, log.size());
}

TEST(AuditRun, LogThatCannotBeOpenedDoesNotStopTheRun) {
    TempDir dir;
    fs::create_directory(dir / "Test.log");
    const auto run = RunAudit(
        {"--color", "2", "--size", "1", "--log", DataPath("id_blue.jpg").string()}, dir.path());
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.Lines().size(), 1u);
    EXPECT_NE(run.err.find("Test.log"), std::string::npos) << run.err;
}

// Verdicts that do not reach Test.log (here it may not grow, as on a full
// disk) are told: the first at once, all of them counted at the end; the
// run itself goes on as when the log cannot be opened.
TEST(AuditRun, LogWritesThatFailAreToldAndCounted) {
    TempDir dir;
    WriteBytes(dir / "Test.log", "earlier\r\n");
    const std::string photo = DataPath("id_blue.jpg").string();
    clitest::RunOutput run;
    {
        const testsupport::FileSizeLimit full(9);
        run = clitest::RunInProcess({"--color", "3", "--size", "1", "--log", photo, photo, photo},
                                    dir.path());
    }
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.Lines().size(), 3u);
    EXPECT_EQ(ReadBytes(dir / "Test.log"), "earlier\r\n");
    EXPECT_EQ(run.err, "quorvel-audit: cannot write \"Test.log\": File too large; the verdict of " +
                           photo + " is not logged\n" +
                           "quorvel-audit: 3 of 3 verdicts could not be written to Test.log\n");
}

TEST(AuditRun, ExplainAddsWhatEachStageMeasured) {
    TempDir dir;
    const auto run = RunAudit(
        {"--color", "3", "--size", "1", "--explain", DataPath("id_red.jpg").string(),
         DataPath("portrait.jpg").string(), DataPath("no_face.jpg").string(), "missing.jpg"},
        dir.path());
    const auto lines = run.Lines();
    ASSERT_EQ(lines.size(), 4u) << run.err;

    const json& passed = lines[0]["trace"];
    EXPECT_EQ(passed["photo"], json({{"width", 480}, {"height", 640}}));
    EXPECT_EQ(passed["faces"], json::array({lines[0]["face"]}));
    EXPECT_EQ(passed["file_length"], fs::file_size(DataPath("id_red.jpg")));
    const json& bg = passed["background"];
    EXPECT_EQ(bg["class_name"], "BG_RED");
    for (const char* key : {"sample_rgb", "hsv", "areas", "mean_area"})
        EXPECT_TRUE(bg.contains(key));
    EXPECT_EQ(bg["areas"].size(), 3u);
    EXPECT_GT(bg["coverage"].get<double>(), 0.1);
    const json& crop = passed["crop"];
    EXPECT_EQ(crop["accepted"], true);
    for (const char* key : {"head_top_row", "head_room", "k", "s", "u", "t"}) {
        EXPECT_TRUE(crop[key].is_number()) << key;
    }
    EXPECT_TRUE(crop["pass"] == "A" || crop["pass"] == "B");
    EXPECT_TRUE(crop["frame"].contains("left") && crop["scaled"].contains("width"));
    // The processed photo is the extraction rectangle's cut.
    EXPECT_EQ(crop["extraction"][2], lines[0]["processed"]["width"]);
    EXPECT_EQ(crop["extraction"][3], lines[0]["processed"]["height"]);

    // Stages the audit did not reach are null.
    EXPECT_EQ(lines[1]["trace"]["file_length"], fs::file_size(DataPath("portrait.jpg")));
    EXPECT_TRUE(lines[2]["trace"]["file_length"].is_null());
    EXPECT_EQ(lines[2]["trace"]["faces"], json::array());
    EXPECT_TRUE(lines[3]["trace"]["photo"].is_null());
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_TRUE(lines[i]["trace"]["background"].is_null()) << i;
        EXPECT_TRUE(lines[i]["trace"]["crop"].is_null()) << i;
    }
}

// The clarity advice as quorvel-audit gives it: appended to the line of a
// passed photo whose face is less sharp than advised, a note on its report
// card; the verdict, the saved file and the exit status as without it.
TEST(AuditRun, ClarityAdviceIsAppendedAndChangesNoVerdict) {
    TempDir dir;
    CopyFixture("id_large.jpg", dir / "sharp.jpg");
    CopyFixture("id_soft.jpg", dir / "soft.jpg");
    const auto run = RunAudit({"--color", "3", "--size", "1", "--out", "out", "--report",
                               "report.html", "sharp.jpg", "soft.jpg"},
                              dir.path());
    EXPECT_EQ(run.status, 0) << "all passed: advice is not a rejection\n" << run.err;
    const auto lines = run.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0].contains("advice"));
    const json& advice = lines[1]["advice"];
    EXPECT_EQ(lines[1]["verdict"], "AUDIT_PASSED");
    EXPECT_EQ(advice["rule"], "photo.clarity");
    EXPECT_EQ(advice["measured"]["value"], 15.5);
    EXPECT_EQ(advice["limit"]["min"], 23);
    EXPECT_EQ(advice["text"],
              "照片可能不够清晰（清晰度 15.5，建议至少 23），建议换一张对焦清楚的照片。");
    const std::string second = run.out.substr(run.out.find('\n') + 1);
    // After it come only the keys appended since (the photo's place and file).
    EXPECT_NE(second.find(R"(,"advice":{"rule":"photo.clarity","measured":{"value":15.5,)"
                          R"("unit":null},"limit":{"min":23,"unit":null},"text":")" +
                          advice["text"].get<std::string>() + R"(","text_en":")" +
                          advice["text_en"].get<std::string>() + "\"},\"position\":1,"),
              std::string::npos)
        << "advice is followed only by the keys appended since: " << second;
    EXPECT_TRUE(HasPassMarker(dir / "out/soft.jpg"));

    const std::string html = ReadBytes(dir / "report.html");
    EXPECT_EQ(html.find("class=\"note\""), html.rfind("class=\"note\"")) << "one note";
    EXPECT_NE(html.find(advice["text"].get<std::string>()), std::string::npos);
}
