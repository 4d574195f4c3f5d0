// A run split into parts, resumed or interrupted gives the lines, statuses
// and report of one run: names that are not UTF-8 survive every step, the
// merge takes each photo once, job runners get statuses they can read, and
// the terminal shows only what the command says.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/RunAudit.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using clitest::kSettings;
using clitest::RunAudit;
using clitest::StartAudit;
using clitest::With;
using testsupport::CopyFixture;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The cards of a report page, in page order.
std::vector<std::string> Cards(const std::string& html) {
    std::vector<std::string> cards;
    for (std::size_t at = html.find("<div class=\"card\""); at != std::string::npos;) {
        const std::size_t end = html.find("\n</div>\n", at);
        cards.push_back(html.substr(at, end - at));
        at = html.find("<div class=\"card\"", end);
    }
    return cards;
}

// Photos with names from a Windows share (Latin-1, GBK), a space and a cut
// JPEG, listed NUL-separated in `list`.
void MakePhotos(const fs::path& dir) {
    const std::vector<std::pair<std::string, std::string>> photos = {
        {"photos/a.jpg", "id_blue.jpg"},
        {"photos/caf\xE9.jpg", "id_red.jpg"},
        {"photos/\xD5\xD5\xC6\xAC.jpg", "no_face.jpg"},
        {"photos/b c.JPG", "id_white.jpg"},
        {"photos/d.jpg", "portrait.jpg"},
        {"photos/e.jpg", "id_blue.jpg"},
    };
    std::string list;
    for (const auto& [name, fixture] : photos) {
        CopyFixture(fixture, dir / name);
        list += name + '\0';
    }
    WriteBytes(dir / "photos/cut.jpg",
               ReadBytes(testsupport::DataPath("id_red.jpg")).substr(0, 31000));
    WriteBytes(dir / "list", list + "photos/cut.jpg" + '\0');
    fs::create_directories(dir / "results");
}

// The parts of a run of two, each with its own results.
void RunParts(const fs::path& dir) {
    for (const char* part : {"0", "1"}) {
        const auto run = RunAudit(
            With(kSettings,
                 {"--files-from", "list", "-0", "--shard", std::string(part) + "/2", "--resume",
                  "results/part-" + std::string(part) + ".jsonl", "--exit-zero"}),
            dir);
        EXPECT_EQ(run.status, 0) << run.err;
    }
}

}  // namespace

TEST(SplitRun, NamesThatAreNotUtf8SurviveResumeMergeAndReport) {
    TempDir dir;
    MakePhotos(dir.path());
    const auto one = RunAudit(
        With(kSettings, {"--jobs", "2", "--files-from", "list", "-0", "--report", "one.html"}),
        dir.path());
    ASSERT_EQ(one.Lines().size(), 7u);
    RunParts(dir.path());
    RunParts(dir.path());  // run again: every part goes on from its results
    for (const char* part : {"results/part-0.jsonl", "results/part-1.jsonl"}) {
        EXPECT_EQ(Count(ReadBytes(dir / part), "\n"), part[13] == '0' ? 4u : 3u)
            << part << ": nothing audited twice";
    }

    const auto merged =
        RunAudit({"--from-results", "results/part-*.jsonl", "--report", "m.html"}, dir.path());
    EXPECT_EQ(merged.status, one.status) << merged.err;
    EXPECT_EQ(merged.out, one.out) << "the lines of one run, in list order";
    const std::vector<std::string> cards = Cards(ReadBytes(dir / "m.html"));
    EXPECT_EQ(cards, Cards(ReadBytes(dir / "one.html")));
    EXPECT_EQ(cards.size(), 7u);
    EXPECT_EQ(Count(ReadBytes(dir / "m.html"), "photos/caf%E9.jpg"), 1u) << "linked by its bytes";
    EXPECT_EQ(Count(ReadBytes(dir / "m.html"), "photos/%D5%D5%C6%AC.jpg"), 1u);
}

TEST(SplitRun, MergeTakesEachPhotoOnceAndRefusesWhatIsNotOneRun) {
    TempDir base;
    MakePhotos(base.path());
    RunParts(base.path());
    const std::string part0 = ReadBytes(base / "results/part-0.jsonl");
    const std::string first = part0.substr(0, part0.find('\n') + 1);
    std::string changed = first;
    changed.replace(changed.find("\"state\":"), 9, "\"state\":4");
    const std::string cut = "{\"file\":\"photos/x.jpg\",\"st";
    struct Row {
        const char* description;
        std::string extraFile;  // results/part-9.jsonl
        std::string pattern;
        bool lockPart1;
        int status;
        const char* said;  // in standard error; nullptr when nothing is said
    };
    const std::vector<Row> rows = {
        {"a part run twice: the same lines", part0, "results/*.jsonl", false, 1, nullptr},
        {"two different lines for one photo", changed, "results/*.jsonl", false, 2,
         "\"results/part-0.jsonl\" and \"results/part-9.jsonl\" hold different lines for the "
         "photo \"photos/a.jpg\""},
        {"other settings", std::regex_replace(first, std::regex("\"color\":3"), "\"color\":2"),
         "results/*.jsonl", false, 2, "were audited with other settings"},
        {"a part still running", "", "results/*.jsonl", true, 2,
         "in use by a run of quorvel-audit; merge once every part has ended"},
        {"a part killed while writing its last line", cut, "results/*.jsonl", false, 3,
         "the last line of the results results/part-9.jsonl is unfinished"},
        {"no results", "", "none-*.jsonl", false, 2, "no results file matches \"none-*.jsonl\""},
    };
    const auto whole = RunAudit({"--from-results", "results/part-*.jsonl"}, base.path());
    ASSERT_EQ(whole.status, 1) << whole.err;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        if (!row.extraFile.empty()) WriteBytes(base / "results/part-9.jsonl", row.extraFile);
        const int held = ::open((base / "results/part-1.jsonl").c_str(), O_RDONLY | O_CLOEXEC);
        if (row.lockPart1) {
            ASSERT_EQ(::flock(held, LOCK_EX), 0);
        }
        const auto run = RunAudit({"--from-results", row.pattern}, base.path());
        ::close(held);
        fs::remove(base / "results/part-9.jsonl");
        EXPECT_EQ(run.status, row.status) << run.err;
        if (row.said != nullptr) {
            EXPECT_NE(run.err.find(row.said), std::string::npos) << run.err;
        }
        if (row.status != 2) {
            EXPECT_EQ(run.out, whole.out) << "each photo once, in list order";
        }
        if (row.status == 2) {
            EXPECT_EQ(run.out, "");
        }
    }
}

TEST(ExitStatus, ExitZeroForRejectionsAndResumedRunsCoverTheWholeResults) {
    TempDir dir;
    CopyFixture("id_blue.jpg", dir / "passed.jpg");
    CopyFixture("no_face.jpg", dir / "rejected.jpg");
    const struct {
        const char* description;
        std::vector<std::string> args;
        int status;
        const char* summary;  // the closing line with --progress
    } rows[] = {
        {"a rejection", {"passed.jpg", "rejected.jpg"}, 1, "2 photos, 1 passed, 1 not passed\n"},
        {"a rejection, --exit-zero", {"--exit-zero", "rejected.jpg"}, 0, nullptr},
        {"an unreadable input, --exit-zero", {"--exit-zero", "missing.jpg"}, 3, nullptr},
        {"results hold a rejection", {"--resume", "R", "passed.jpg", "rejected.jpg"}, 1, nullptr},
        {"resumed with nothing left to do",
         {"--resume", "R", "passed.jpg", "rejected.jpg"},
         1,
         "2 photos, 1 passed, 1 not passed; 2 of them from earlier runs\n"},
        {"resumed, --exit-zero", {"--resume", "R", "--exit-zero", "passed.jpg"}, 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.description);
        const auto run = RunAudit(With(With(kSettings, {"--progress"}), row.args), dir.path());
        EXPECT_EQ(run.status, row.status) << run.err;
        if (row.summary != nullptr) {
            EXPECT_TRUE(run.err.ends_with(row.summary)) << run.err;
        }
    }
}

TEST(Terminal, DecoderWarningIsThePhotosOwnNamedOnItsLineAndItsCard) {
    TempDir dir;
    WriteBytes(dir / "cut.jpg", ReadBytes(testsupport::DataPath("id_red.jpg")).substr(0, 31000));
    CopyFixture("id_blue.jpg", dir / "whole.jpg");
    const auto run = RunAudit(
        With(kSettings, {"--jobs", "2", "--report", "r.html", "cut.jpg", "whole.jpg"}), dir.path());
    EXPECT_EQ(run.err, "quorvel-audit: cut.jpg: decoder warning: Premature end of JPEG file\n");
    const auto lines = run.Lines();
    EXPECT_EQ(lines.at(0)["warnings"], nlohmann::json::array({"Premature end of JPEG file"}));
    EXPECT_FALSE(lines.at(1).contains("warnings"));
    const std::string html = ReadBytes(dir / "r.html");
    EXPECT_EQ(Count(html, "decoder warning: Premature end of JPEG file</p>"), 1u);
}

TEST(Interrupted, GoOnCommandKeepsStandardOutputsFileAndCompletesIt) {
    struct Row {
        const char* description;
        std::vector<std::string> options;
        std::string goOn;  // after the command as given
    };
    const std::vector<Row> rows = {
        {"without --resume: the file becomes the results", {}, " --resume out.jsonl > /dev/null"},
        {"with --resume: appended to", {"--resume", "R"}, " >> out.jsonl"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        std::vector<std::string> photos;
        for (int i = 0; i < 30; ++i) {
            photos.push_back("p" + std::to_string(10 + i) + ".jpg");
            CopyFixture(i % 3 == 0 ? "no_face.jpg" : "id_blue.jpg", dir / photos.back());
        }
        const std::vector<std::string> args = With(With(kSettings, row.options), photos);
        const pid_t pid = StartAudit(args, dir.path());
        EXPECT_EQ(clitest::InterruptWhen(
                      pid, [&] { return Count(ReadBytes(dir / "out.jsonl"), "\n") >= 2; }),
                  130);
        const std::string err = ReadBytes(dir / "err.txt");
        std::string command = QUORVEL_AUDIT_EXE;
        for (const std::string& arg : args) command += " " + arg;
        const std::size_t at = err.find(command + row.goOn);
        ASSERT_NE(at, std::string::npos) << err;
        // Typed as it was given: the file then holds the lines of one run.
        const std::string typed = "cd '" + dir.path().string() + "' && " + command + row.goOn;
        EXPECT_EQ(std::system(typed.c_str()), 1 << 8);
        EXPECT_EQ(ReadBytes(dir / "out.jsonl"), RunAudit(With(kSettings, photos), dir.path()).out);
    }
}

TEST(ReportLock, ASecondRunOnOneReportIsRefusedAndTheLockGoesWithTheRun) {
    TempDir dir;
    CopyFixture("id_blue.jpg", dir / "a.jpg");
    WriteBytes(dir / ".r.html.lock", "");
    const int held = ::open((dir / ".r.html.lock").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto refused = RunAudit(With(kSettings, {"--report", "r.html", "a.jpg"}), dir.path());
    ::close(held);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("the report \"r.html\" is being written by another run"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.out, "") << "refused before the first audit";
    EXPECT_FALSE(fs::exists(dir / "r.html"));

    // A lock file left by a run that was killed holds no lock.
    const auto run = RunAudit(With(kSettings, {"--report", "r.html", "a.jpg"}), dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "r.html"));
    EXPECT_FALSE(fs::exists(dir / ".r.html.lock"));
}
