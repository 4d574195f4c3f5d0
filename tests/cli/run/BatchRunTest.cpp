// quorvel-audit over whole batches: it never writes over a photo it was
// given, treats file names as data, reads lists, resumes, and splits a run
// over workers and machines with the same lines as one run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "core/audit/Auditor.h"
#include "core/io/AtomicFile.h"
#include "core/text/Encoding.h"
#include "support/RunAudit.h"
#include "support/RunInProcess.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using clitest::kSettings;
using clitest::RunAudit;
using clitest::RunInProcess;
using clitest::With;
using nlohmann::json;
using testsupport::CopyFixture;
using testsupport::DataPath;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::vector<std::string> Files(const std::vector<json>& lines) {
    std::vector<std::string> files;
    for (const json& line : lines) files.push_back(line["file"]);
    return files;
}

std::vector<std::string> SortedLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Names of the files left in a folder that start with the writer's
// temporary prefix.
std::vector<std::string> TemporaryFilesIn(const fs::path& folder) {
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".quorvel-", 0) == 0) left.push_back(name);
    }
    return left;
}

}  // namespace

// Planned before the first audit: run from the library.
TEST(NeverHarm, OutputThatIsAnInputOrSharedByTwoPhotosIsRefusedForEach) {
    struct Case {
        const char* description;
        std::vector<std::pair<std::string, std::string>> files;  // name, fixture
        std::vector<std::string> args;                           // after the settings
        std::vector<const char*> paths;  // "processed.path" per line, nullptr for null
    };
    const std::vector<Case> cases = {
        {"processed photo would replace a photo listed later",
         {{"src/a.jpg", "id_blue.jpg"}, {"out/a.jpg", "id_red.jpg"}},
         {"--out", "out", "src/a.jpg", "out/a.jpg"},
         {nullptr, nullptr}},
        {"two photos of the output folder share a stem",
         {{"photos/a.jpg", "id_blue.jpg"}, {"photos/a.png", "id_red.jpg"}},
         {"--out", "photos", "photos"},
         {nullptr, nullptr}},
        {"names that differ only in case",
         {{"a/x.jpg", "id_blue.jpg"}, {"b/X.JPG", "id_red.jpg"}},
         {"--out", "out", "a/x.jpg", "b/X.JPG"},
         {nullptr, nullptr}},
        {"the photo sharing the name is in the other part of a split run",
         {{"a/id.jpg", "id_blue.jpg"}, {"b/id.jpg", "id_red.jpg"}, {"c/other.jpg", "id_blue.jpg"}},
         {"--shard", "0/2", "--out", "out", "a/id.jpg", "b/id.jpg", "c/other.jpg"},
         {nullptr, "out/other.jpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        for (const auto& [name, fixture] : c.files) CopyFixture(fixture, dir / name);

        const auto run = RunInProcess(With(kSettings, c.args), dir.path());
        EXPECT_EQ(run.status, 1);
        const auto lines = run.Lines();
        ASSERT_EQ(lines.size(), c.paths.size()) << run.out;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i]["verdict"], "AUDIT_PASSED") << "the photo itself was audited";
            if (c.paths[i] == nullptr) {
                EXPECT_TRUE(lines[i]["processed"]["path"].is_null()) << lines[i];
                EXPECT_TRUE(lines[i]["error"].is_string()) << lines[i];
            } else {
                EXPECT_EQ(lines[i]["processed"]["path"], c.paths[i]);
            }
        }
        for (const auto& [name, fixture] : c.files) {
            EXPECT_EQ(ReadBytes(dir / name), ReadBytes(DataPath(fixture))) << name;
        }
    }
}

TEST(NeverHarm, ReportIsNeverWrittenOverAPhoto) {
    struct Case {
        const char* description;
        std::vector<std::string> args;  // after the settings
        const char* untouched;          // a file that must keep its bytes, or stay absent
        const char* fixture;            // its content, nullptr when it must not exist
    };
    const std::vector<Case> cases = {
        {"report named as a photo of the run",
         {"--report", "p1.jpg", "p1.jpg", "p2.jpg"},
         "p1.jpg",
         "id_blue.jpg"},
        {"report named as a photo of the run in other letters",
         {"--report", "P1.JPG", "p1.jpg"},
         "p1.jpg",
         "id_blue.jpg"},
        {"report with an image extension", {"--report", "page.PNG", "p1.jpg"}, "page.PNG", nullptr},
        {"report named as a photo that has no image extension",
         {"--report", "scan.html", "scan.html"},
         "scan.html",
         "no_face.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        CopyFixture("id_blue.jpg", dir / "p1.jpg");
        CopyFixture("id_red.jpg", dir / "p2.jpg");
        CopyFixture("no_face.jpg", dir / "scan.html");

        const auto run = RunInProcess(With(kSettings, c.args), dir.path());
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "") << "refused before the first audit";
        EXPECT_NE(run.err.find("report"), std::string::npos) << run.err;
        if (c.fixture != nullptr) {
            EXPECT_EQ(ReadBytes(dir / c.untouched), ReadBytes(DataPath(c.fixture)));
        } else {
            EXPECT_FALSE(fs::exists(dir / c.untouched));
        }
    }
}

TEST(NamesAsData, ControlCharactersNeitherForgeLogEntriesNorReachTheTerminal) {
    TempDir dir;
    const std::string forged = "x\r\n2015-03-05 09:07:02\tforged.jpg";
    const std::string escape =
        "\x1b]0;title\x07\xc2\x9b"
        "2J.jpg";  // OSC, BEL, C1 CSI
    CopyFixture("no_face.jpg", dir / forged);
    CopyFixture("id_blue.jpg", dir / "a" / escape);
    CopyFixture("id_blue.jpg", dir / "b" / escape);

    const auto run =
        RunAudit(With(kSettings, {"--log", "--out", "out", forged, "a/" + escape, "b/" + escape}),
                 dir.path());
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.Lines().size(), 3u);
    EXPECT_EQ(run.Lines()[0]["file"], forged) << "JSON keeps the name, escaped by JSON";

    // Test.log: one entry per photo, the name's control characters as '?'.
    const std::string log = ReadBytes(dir / "Test.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    EXPECT_NE(log.find("\tx??2015-03-05 09:07:02?forged.jpg"), std::string::npos) << log;
    EXPECT_NE(log.find("\t?]0;title??2J.jpg"), std::string::npos) << log;

    // Messages name the refused saves with the bytes escaped.
    for (const char control : {'\x1b', '\x07', '\r'}) {
        EXPECT_EQ(run.err.find(control), std::string::npos) << run.err;
    }
    EXPECT_EQ(run.err.find("\xc2\x9b"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("a/\\x1b]0;title\\x07\\xc2\\x9b2J.jpg"), std::string::npos) << run.err;
}

// A FIFO in the log's place would block the run once its buffer is full:
// it is reported and not written, and the audit goes on.
TEST(NeverHarm, LogThatIsAFifoIsReportedAndNotWritten) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "Test.log").c_str(), 0644), 0);
    CopyFixture("id_blue.jpg", dir / "a.jpg");
    const auto run = RunAudit(With(kSettings, {"--log", "a.jpg", "a.jpg"}), dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.Lines().size(), 2u);
    EXPECT_NE(run.err.find("Test.log"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_fifo(dir / "Test.log"));
}

TEST(NamesAsData, ReportShowsANameThatIsNotUtf8WithAReplacementCharacter) {
    TempDir dir;
    CopyFixture("id_blue.jpg", dir / "caf\xE9.jpg");
    const auto run = RunAudit(With(kSettings, {"--report", "r.html", "caf\xE9.jpg"}), dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string page = ReadBytes(dir / "r.html");
    EXPECT_EQ(quorvel::ValidUtf8(page), page) << "the page is valid UTF-8";
    EXPECT_NE(page.find("caf\xEF\xBF\xBD.jpg"), std::string::npos);
}

TEST(Lists, FilesFromReadsEachNameAsItsBytes) {
    struct Case {
        const char* description;
        std::vector<std::string> args;  // after the settings
        std::string list;               // written to list.txt
        std::string input;              // standard input
    };
    const std::string odd = "new\nline.jpg";
    const std::vector<Case> cases = {
        {"one name a line", {"--files-from", "list.txt"}, "a.jpg\n\nb c.jpg\n", ""},
        {"NUL-separated, a name holding a line end",
         {"--files-from", "list.txt", "-0"},
         std::string("a.jpg\0b c.jpg\0", 14) + odd + std::string(1, '\0'),
         ""},
        {"standard input", {"--files-from", "-"}, "", "a.jpg\nb c.jpg\n"},
        {"arguments first, then the list", {"a.jpg", "--files-from", "-"}, "", "b c.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempDir dir;
        CopyFixture("id_blue.jpg", dir / "a.jpg");
        CopyFixture("no_face.jpg", dir / "b c.jpg");
        CopyFixture("id_red.jpg", dir / odd);
        WriteBytes(dir / "list.txt", c.list);

        const auto run = RunInProcess(With(kSettings, c.args), dir.path(), c.input);
        const auto lines = run.Lines();
        std::vector<std::string> expected = {"a.jpg", "b c.jpg"};
        if (c.list.find(odd) != std::string::npos) expected.push_back(odd);
        EXPECT_EQ(Files(lines), expected) << run.err;
        EXPECT_EQ(lines.at(0)["verdict"], "AUDIT_PASSED");
        EXPECT_EQ(lines.at(1)["verdict"], "AUDIT_NO_FACE");
    }
}

TEST(Lists, ResumeSkipsFinishedPhotosAndAppendsTheNewLines) {
    TempDir dir;
    CopyFixture("id_blue.jpg", dir / "a.jpg");
    CopyFixture("no_face.jpg", dir / "b.jpg");
    CopyFixture("id_red.jpg", dir / "caf\xE9.jpg");
    const auto first = RunAudit(With(kSettings, {"a.jpg"}), dir.path());
    ASSERT_EQ(first.Lines().size(), 1u);
    // An earlier run: a.jpg finished, the Latin-1 name shown with U+FFFD,
    // b.jpg cut off while it was written.
    const std::string earlier =
        first.out + "{\"file\":\"caf\xEF\xBF\xBD.jpg\",\"state\":3}\n" + "{\"file\":\"b.jpg\",\"st";
    WriteBytes(dir / "results.jsonl", earlier);

    const auto run =
        RunAudit(With(kSettings, {"--resume", "results.jsonl", "a.jpg", "b.jpg", "caf\xE9.jpg"}),
                 dir.path());
    EXPECT_EQ(run.status, 1);
    const auto lines = run.Lines();
    EXPECT_EQ(Files(lines), (std::vector<std::string>{"b.jpg", "caf\xEF\xBF\xBD.jpg"}));
    const std::string kept = earlier.substr(0, earlier.rfind('\n') + 1);
    EXPECT_EQ(ReadBytes(dir / "results.jsonl"), kept + run.out);

    // The new line holds the name's bytes ("file_bytes"): nothing is left.
    const auto again =
        RunAudit(With(kSettings, {"--resume", "results.jsonl", "a.jpg", "b.jpg", "caf\xE9.jpg"}),
                 dir.path());
    EXPECT_EQ(Files(again.Lines()), std::vector<std::string>{})
        << "a name that is not UTF-8 is matched by its bytes";
}

TEST(ManyCores, JobsGiveTheLinesOfOneJobInInputOrder) {
    TempDir dir;
    const std::vector<std::string> fixtures = {"id_blue.jpg",   "no_face.jpg", "id_red.jpg",
                                               "portrait.jpg",  "group.jpg",   "id_white.jpg",
                                               "small_face.jpg"};
    std::vector<std::string> photos;
    for (std::size_t i = 0; i < 3 * fixtures.size(); ++i) {
        photos.push_back("p" + std::to_string(i) + ".jpg");
        CopyFixture(fixtures[i % fixtures.size()], dir / photos.back());
    }
    photos.push_back("missing.jpg");

    const auto plain = RunAudit(With(kSettings, photos), dir.path());
    EXPECT_EQ(Files(plain.Lines()), photos);
    for (const char* jobs : {"1", "2", "4"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        const auto run = RunAudit(With(With(kSettings, {"--jobs", jobs}), photos), dir.path());
        EXPECT_EQ(run.status, plain.status);
        // These photos hold no fill's marker colour: fresh or carried-over
        // generators give the same verdicts.
        EXPECT_EQ(run.out, plain.out);
    }
}

// The rare photo holding a fill's marker colour: its crop depends on the
// generator. With --jobs it is cropped as a fresh window crops its first
// photo, wherever it stands in the list; a plain run carries the generator
// over from the photo before, as the window does.
TEST(ManyCores, EveryPhotoOfAJobsRunIsAuditedAsAFreshWindowsFirstPhoto) {
    TempDir dir;
    // The head-top fill of a fresh window's first passed audit draws its
    // marker after the background's 9 draws.
    cv::RNG peek(quorvel::Auditor::kFreshGeneratorState);
    for (int i = 0; i < 9; ++i) peek.next();
    cv::Scalar marker;
    for (int ch = 0; ch < 3; ++ch) marker[ch] = static_cast<uchar>(unsigned(peek) & 255);
    cv::Mat photo = testsupport::LoadFixture("id_blue.jpg");
    photo(cv::Rect(200, 150, 60, 3)).setTo(marker);  // a bar above the head
    ASSERT_TRUE(cv::imwrite((dir / "marked.png").string(), photo));
    CopyFixture("id_red.jpg", dir / "first.jpg");

    auto saved = [&](const std::string& out, std::vector<std::string> photos,
                     std::vector<std::string> options) {
        options.insert(options.end(), {"--out", out});
        const auto run = RunAudit(With(With(kSettings, options), photos), dir.path());
        EXPECT_EQ(run.status, 0) << run.err;
        return ReadBytes(dir / out / "marked.jpg");
    };
    const std::string alone = saved("alone", {"marked.png"}, {});
    ASSERT_FALSE(alone.empty());
    EXPECT_EQ(saved("jobs", {"first.jpg", "marked.png"}, {"--jobs", "1"}), alone);
    EXPECT_EQ(saved("shard", {"first.jpg", "marked.png"}, {"--shard", "0/1"}), alone);
    EXPECT_NE(saved("plain", {"first.jpg", "marked.png"}, {}), alone);
}

TEST(ManyMachines, PartsOfASplitRunTogetherGiveTheLinesOfOneRun) {
    TempDir dir;
    std::string list;
    const std::vector<std::string> fixtures = {"id_blue.jpg", "no_face.jpg", "id_red.jpg",
                                               "id_white.jpg", "small_face.jpg"};
    for (std::size_t i = 0; i < fixtures.size(); ++i) {
        const std::string name = "d" + std::to_string(i % 2) + "/p" + std::to_string(i) + ".jpg";
        CopyFixture(fixtures[i], dir / name);
        list += name + "\n";
    }
    WriteBytes(dir / "list.txt", list);
    const auto whole =
        RunInProcess(With(kSettings, {"--jobs", "2", "--files-from", "list.txt"}), dir.path());
    ASSERT_EQ(whole.Lines().size(), fixtures.size());

    struct Case {
        const char* description;
        std::size_t parts;
    };
    for (const Case& c : std::vector<Case>{
             {"two parts", 2}, {"three parts", 3}, {"more parts than photos, some empty", 7}}) {
        SCOPED_TRACE(c.description);
        std::string merged;
        for (std::size_t k = 0; k < c.parts; ++k) {
            const std::string shard = std::to_string(k) + "/" + std::to_string(c.parts);
            const auto part = RunInProcess(
                With(kSettings, {"--shard", shard, "--files-from", "list.txt"}), dir.path());
            EXPECT_LE(part.status, 1) << part.err;
            if (part.out.empty()) {
                EXPECT_EQ(part.status, 0) << "an empty part is no error";
            }
            merged += part.out;
        }
        EXPECT_EQ(SortedLines(merged), SortedLines(whole.out));
    }
    // The largest count does not wrap around: part 1 holds the second photo only.
    const auto last = RunInProcess(
        With(kSettings, {"--shard", "1/18446744073709551615", "--files-from", "list.txt"}),
        dir.path());
    EXPECT_EQ(last.Lines().size(), 1u) << last.out;
}

// The recipe of docs/batch.md: GNU parallel runs the parts (its local workers
// stand in for --sshlogin hosts) and the merged, sorted lines equal those
// of one --jobs 2 run, byte for byte.
TEST(ManyMachines, GnuParallelRecipeGivesTheLinesOfOneRun) {
    ASSERT_EQ(std::system("command -v parallel >/dev/null"), 0)
        << "GNU parallel is missing: run scripts/setup.sh";
    TempDir dir;
    const std::vector<std::string> fixtures = {"id_blue.jpg", "no_face.jpg", "id_red.jpg",
                                               "portrait.jpg", "id_white.jpg"};
    std::string list;
    for (std::size_t i = 0; i < fixtures.size(); ++i) {
        const std::string name = "photos/p" + std::to_string(i) + ".jpg";
        CopyFixture(fixtures[i], dir / name);
        list += name + '\0';
    }
    WriteBytes(dir / "list", list);

    const std::string audit = QUORVEL_AUDIT_EXE;
    WriteBytes(dir / "recipe.sh",
               "parallel --will-cite --sshlogin 2/: '" + audit +
                   "' --color 3 --size 1 --files-from list -0 --shard {}/2 ::: 0 1"
                   " | LC_ALL=C sort > merged.jsonl\n'" +
                   audit +
                   "' --color 3 --size 1 --jobs 2 --files-from list -0"
                   " | LC_ALL=C sort > one.jsonl\n");
    const std::string command = "cd '" + dir.path().string() + "' && /bin/sh recipe.sh";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string merged = ReadBytes(dir / "merged.jsonl");
    EXPECT_EQ(std::count(merged.begin(), merged.end(), '\n'), 5) << merged;
    EXPECT_EQ(merged, ReadBytes(dir / "one.jsonl"));
}

// A run ended by SIGINT or SIGTERM removes the file it was writing: the
// command's handler removes what the writers recorded.
TEST(Interrupted, TemporaryFileIsRemovedWhenTheProcessIsEndedBySignal) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        const pid_t pid = ::fork();
        if (pid == 0) {
            static quorvel::TemporaryFiles temporaries;
            struct sigaction action {};
            action.sa_handler = [](int received) {
                temporaries.RemoveAll();
                std::signal(received, SIG_DFL);
                std::raise(received);
            };
            sigaction(signal, &action, nullptr);
            auto file = quorvel::AtomicFile::Begin(dir / "report.html", &temporaries);
            if (!file || !file->Write("<html>")) ::_exit(3);
            std::raise(signal);
            ::_exit(4);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(TemporaryFilesIn(dir.path()), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(dir / "report.html"));
    }
}
