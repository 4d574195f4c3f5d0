// A run of quorvel-audit never turns one of its files against another,
// resumes only from its own results, and says where it stands when stopped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/RunAudit.h"
#include "support/RunInProcess.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using clitest::kSettings;
using clitest::RunAudit;
using clitest::RunInProcess;
using clitest::StartAudit;
using clitest::With;
using testsupport::CopyFixture;
using testsupport::DataPath;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::size_t LineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

// Decided before the first audit: these run the command from its library.
TEST(RunFiles, WriteOnAFileTheRunReadsOrWritesIsRefusedBeforeTheFirstAudit) {
    struct Row {
        const char* description;
        std::vector<std::string> args;
        std::vector<std::string> roles;  // both named in the message
        const char* kept;                // a file that must stay as it was
    };
    std::vector<std::string> manyPhotos(500, "a.jpg");
    manyPhotos.push_back("r-2.html");
    const std::vector<Row> rows = {
        {"report over the results",
         {"--resume", "R", "--report", "R", "a.jpg"},
         {"the report (--report)", "the results (--resume)"},
         "R"},
        {"report over the list",
         {"--report", "list", "--files-from", "list"},
         {"the report (--report)", "the list (--files-from)"},
         "list"},
        {"second page of the report over a photo",
         With({"--report", "r.html"}, manyPhotos),
         {"page 2 of the report (--report)", "the photo"},
         "r-2.html"},
        {"report over the face cascade",
         {"--cascade", "c.xml", "--report", "c.xml", "a.jpg"},
         {"the report (--report)", "the face cascade (--cascade)"},
         "c.xml"},
        {"results over a photo",
         {"--resume", "a.jpg", "a.jpg"},
         {"the results (--resume)", "the photo"},
         "a.jpg"},
        {"results over the list",
         {"--resume", "list", "--files-from", "list"},
         {"the results (--resume)", "the list (--files-from)"},
         "list"},
        {"results over the settings",
         {"--config", "cfg.ini", "--resume", "cfg.ini", "a.jpg"},
         {"the results (--resume)", "the settings (--config)"},
         "cfg.ini"},
        {"saved photo over the list",
         {"--out", "o", "--files-from", "o/a.jpg", "a.jpg"},
         {"the saved photo (--out)", "the list (--files-from)"},
         "o/a.jpg"},
        {"saved photo over the results",
         {"--out", "o", "--resume", "o/a.jpg", "a.jpg"},
         {"the saved photo (--out)", "the results (--resume)"},
         "o/a.jpg"},
        {"two new files whose names differ in case",
         {"--report", "NEW.html", "--resume", "new.html", "a.jpg"},
         {"the report (--report)", "the results (--resume)"},
         "a.jpg"},
        {"report that is a link to a photo",
         {"--report", "link.html", "a.jpg"},
         {"is a link"},
         "a.jpg"},
        {"report on standard output", {"--report", "/dev/stdout", "a.jpg"}, {"is a link"}, "a.jpg"},
        {"--out that is a file", {"--out", "R", "a.jpg"}, {"\"R\""}, "R"},
    };
    // Results of a run of its own, audited once.
    TempDir setup;
    CopyFixture("id_blue.jpg", setup / "a.jpg");
    const std::string results = RunInProcess(With(kSettings, {"a.jpg"}), setup.path()).out;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        CopyFixture("id_blue.jpg", dir / "a.jpg");
        CopyFixture("id_blue.jpg", dir / "r-2.html");
        WriteBytes(dir / "R", results);
        WriteBytes(dir / "list", "a.jpg\n");
        WriteBytes(dir / "cfg.ini", "[set]\ncolor=3\nsize=1\n");
        fs::copy_file(QUORVEL_TEST_CASCADE, dir / "c.xml");
        fs::create_directories(dir / "o");
        WriteBytes(dir / "o/a.jpg", "a.jpg\n");
        fs::create_symlink("a.jpg", dir / "link.html");
        const std::string kept = ReadBytes(dir / row.kept);

        const bool readsSettings =
            std::find(row.args.begin(), row.args.end(), "--config") != row.args.end();
        const auto run =
            RunInProcess(readsSettings ? row.args : With(kSettings, row.args), dir.path());
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.out, "") << "nothing audited";
        for (const std::string& role : row.roles) {
            EXPECT_NE(run.err.find(role), std::string::npos) << role << " in " << run.err;
        }
        EXPECT_EQ(ReadBytes(dir / row.kept), kept);
    }
}

TEST(Resume, AcceptsOnlyItsOwnResultsAndNeverCutsAnythingElse) {
    TempDir setup;
    CopyFixture("id_blue.jpg", setup / "a.jpg");
    const std::string line = RunInProcess(With(kSettings, {"a.jpg"}), setup.path()).out;
    ASSERT_EQ(LineCount(line), 1u);
    const std::string otherSettings =
        RunInProcess({"--color", "2", "--size", "1", "a.jpg"}, setup.path()).out;
    const std::string photo = ReadBytes(DataPath("id_blue.jpg"));
    struct Row {
        const char* description;
        std::string content;
        int status;
        std::string after;    // the file after the run; the lines appended follow it
        std::size_t audited;  // photos audited by the run
    };
    const std::string cut = line.substr(0, 30);
    const std::string errorLine = "{\"file\":\"a.jpg\",\"state\":3,\"error\":\"no such file\"}\n";
    const std::vector<Row> rows = {
        {"empty file", "", 0, "", 1},
        {"its own results: the photo is not audited again", line, 0, line, 0},
        {"a cut last line of its own is cut off", line + cut, 0, line, 0},
        {"a whole last line without its end gets one", line.substr(0, line.size() - 1), 0, line, 0},
        {"a line with an error is audited again", errorLine, 0, errorLine, 1},
        {"a photo", photo, 2, photo, 0},
        {"notes without a line end", "call the printer", 2, "call the printer", 0},
        {"a list of names", "a.jpg\nb.jpg\n", 2, "a.jpg\nb.jpg\n", 0},
        {"JSON that is not ours", "{\"name\":\"a.jpg\"}\n", 2, "{\"name\":\"a.jpg\"}\n", 0},
        {"results audited with other settings", otherSettings, 2, otherSettings, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        CopyFixture("id_blue.jpg", dir / "a.jpg");
        WriteBytes(dir / "R", row.content);
        const auto run = RunInProcess(With(kSettings, {"--resume", "R", "a.jpg"}), dir.path());
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_EQ(LineCount(run.out), row.audited);
        EXPECT_EQ(ReadBytes(dir / "R"), row.after + run.out);
        if (row.status == 2) {
            EXPECT_NE(run.err.find("\"R\""), std::string::npos) << run.err;
        }
    }

    // A second run on results in use is refused.
    TempDir dir;
    CopyFixture("id_blue.jpg", dir / "a.jpg");
    WriteBytes(dir / "R", "");
    const int held = ::open((dir / "R").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto run = RunInProcess(With(kSettings, {"--resume", "R", "a.jpg"}), dir.path());
    ::close(held);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("in use by another run"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(dir / "R"), "");
}

TEST(Interrupted, CtrlCWritesWhatIsDoneAndTheResumedRunsReportCoversBoth) {
    TempDir dir;
    std::vector<std::string> photos;
    for (int i = 0; i < 40; ++i) {
        photos.push_back("p" + std::to_string(100 + i) + ".jpg");
        CopyFixture(i % 2 == 0 ? "id_blue.jpg" : "no_face.jpg", dir / photos.back());
    }
    const std::vector<std::string> args =
        With(With(kSettings, {"--resume", "R", "--report", "r.html"}), photos);
    const pid_t pid = StartAudit(args, dir.path());
    ASSERT_GT(pid, 0);
    // Interrupted once a few photos are done.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (LineCount(fs::exists(dir / "R") ? ReadBytes(dir / "R") : "") < 3 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);

    const std::size_t done = LineCount(ReadBytes(dir / "R"));
    EXPECT_GE(done, 3u);
    EXPECT_LT(done, photos.size()) << "the photos after the one in hand are left";
    EXPECT_EQ(ReadBytes(dir / "out.jsonl"), ReadBytes(dir / "R"));
    const std::string err = ReadBytes(dir / "err.txt");
    std::string command = QUORVEL_AUDIT_EXE;
    for (const std::string& arg : args) command += " " + arg;
    EXPECT_NE(err.find("interrupted: " + std::to_string(done) +
                       " of 40 photos audited; to go on, "
                       "run: " +
                       command),
              std::string::npos)
        << err;
    const std::string partial = ReadBytes(dir / "r.html");
    EXPECT_NE(partial.find("the run was interrupted"), std::string::npos);

    // The command it gave audits the rest, once each, and reports on all.
    const auto rest = RunAudit(args, dir.path());
    EXPECT_EQ(rest.status, 1) << rest.err;
    EXPECT_EQ(LineCount(rest.out), photos.size() - done);
    EXPECT_EQ(LineCount(ReadBytes(dir / "R")), photos.size());
    const std::string report = ReadBytes(dir / "r.html");
    EXPECT_NE(report.find("40 photos: " + std::to_string(photos.size() - done) + " of this run, " +
                          std::to_string(done) + " of earlier runs"),
              std::string::npos)
        << report.substr(0, 2000);
    EXPECT_NE(report.find("settings: color 3, size 1"), std::string::npos);
    for (const std::string& photo : photos) {
        EXPECT_NE(report.find("data-file=\"" + photo + "\""), std::string::npos) << photo;
    }
}
