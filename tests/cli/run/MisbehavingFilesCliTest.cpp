#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/audit/Verdict.h"
#include "core/save/SavePhoto.h"
#include "support/RunAudit.h"
#include "support/SpecialFiles.h"
#include "support/TestSupport.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using namespace quorvel;
using testsupport::DataPath;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::vector<std::string> SettingsArgs() {
    return {"--color", "3", "--size", "1", "--cascade", QUORVEL_TEST_CASCADE};
}

// Runs quorvel-audit as the user nobody (through setpriv) in `cwd`.
clitest::RunOutput RunAuditAsNobody(const std::vector<std::string>& args, const fs::path& cwd) {
    TempDir capture;
    std::vector<std::string> command = {
        "/usr/bin/setpriv", "--reuid=" + std::to_string(testsupport::kNobodyId),
        "--regid=" + std::to_string(testsupport::kNobodyId), "--clear-groups", QUORVEL_AUDIT_EXE};
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : command) argv.push_back(arg.data());
    argv.push_back(nullptr);

    const std::string outPath = (capture / "out").string();
    const std::string errPath = (capture / "err").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0 || ::chdir(cwd.c_str()) != 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    clitest::RunOutput result;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadBytes(outPath);
    result.err = ReadBytes(errPath);
    return result;
}

}  // namespace

TEST(MisbehavingFilesCli, PhotoThatIsNotARegularFileIsNeverReadAndIsBadFormat) {
    TempDir dir;
    std::vector<std::string> args = SettingsArgs();
    std::vector<fs::path> fifos;
    const auto& kinds = specialfiles::Kinds();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const fs::path sub = dir / ("k" + std::to_string(i));
        fs::create_directory(sub);
        const fs::path path = kinds[i].make(sub);
        if (kinds[i].isFifo) fifos.push_back(path);
        args.push_back(path.string());
    }
    specialfiles::FifoRescuer rescuer(fifos, std::chrono::seconds(20));
    const clitest::RunOutput run = clitest::RunAudit(args, dir.path());
    EXPECT_FALSE(rescuer.Stop()) << "quorvel-audit waited for a writer";
    EXPECT_EQ(run.status, 3) << run.err;
    const auto lines = run.Lines();
    ASSERT_EQ(lines.size(), kinds.size()) << run.out;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i].description);
        EXPECT_EQ(lines[i].at("verdict").get<std::string>(), "AUDIT_BAD_FORMAT");
        EXPECT_FALSE(lines[i].value("error", "").empty()) << "it could not be read";
    }
}

TEST(MisbehavingFilesCli, FolderNamesEveryPhotoNameThatIsNotARegularFile) {
    TempDir dir;
    const fs::path photos = dir / "photos";
    fs::create_directory(photos);
    fs::copy_file(DataPath("id_blue.jpg"), photos / "id.jpg");
    ASSERT_EQ(::mkfifo((photos / "fifo.jpg").c_str(), 0644), 0);
    fs::create_symlink("../nowhere.jpg", photos / "broken.JPG");
    fs::create_symlink("../nowhere", photos / "notes.txt");  // not named as a photo
    std::vector<std::string> args = SettingsArgs();
    args.push_back("photos");
    const clitest::RunOutput run = clitest::RunAudit(args, dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.Lines().size(), 1u) << run.out;
    EXPECT_NE(run.err.find("the folder \"photos\": 2 names skipped (not a regular file: a link "
                           "to nothing, a FIFO or a device): \"photos/broken.JPG\", "
                           "\"photos/fifo.jpg\""),
              std::string::npos)
        << run.err;
}

TEST(MisbehavingFilesCli, ConfigurationThatIsNotARegularFileStopsWithTheCause) {
    struct Row {
        const char* description;
        void (*make)(const fs::path& cfg);
        const char* cause;
    };
    const Row rows[] = {
        {"a folder", [](const fs::path& cfg) { fs::create_directory(cfg); }, "it is a folder"},
        {"a FIFO", [](const fs::path& cfg) { specialfiles::MakeFifo(cfg); }, "not a regular file"},
    };
    for (const Row& row : rows) {
        for (const char* mode : {"audit", "--show-config"}) {
            SCOPED_TRACE(std::string(row.description) + ", " + mode);
            TempDir dir;
            row.make(dir / "cfg.ini");
            specialfiles::FifoRescuer rescuer({dir / "cfg.ini"}, std::chrono::seconds(20));
            std::vector<std::string> args = {"--show-config"};
            if (std::string(mode) == "audit") {
                args = {"--cascade", QUORVEL_TEST_CASCADE, DataPath("id_blue.jpg").string()};
            }
            const clitest::RunOutput run = clitest::RunAudit(args, dir.path());
            EXPECT_FALSE(rescuer.Stop()) << "quorvel-audit waited for a writer";
            EXPECT_EQ(run.status, 2);
            EXPECT_TRUE(run.out.empty()) << run.out;
            EXPECT_NE(run.err.find("./cfg.ini"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(row.cause), std::string::npos) << run.err;
        }
    }
}

TEST(MisbehavingFilesCli, OutKeepsLinksPermissionsAndLongNames) {
    TempDir dir;
    const fs::path out = dir / "out";
    const fs::path photos = dir / "photos";
    fs::create_directories(out);
    fs::create_directories(dir / "real");
    fs::create_directories(photos);

    // A link in the output folder to a file elsewhere.
    fs::copy_file(DataPath("id_blue.jpg"), photos / "linked.jpg");
    WriteBytes(dir / "real" / "target.jpg", "old content");
    fs::create_symlink("../real/target.jpg", out / "linked.jpg");
    // A file with its own mode and owner.
    fs::copy_file(DataPath("id_blue.jpg"), photos / "kept.jpg");
    WriteBytes(out / "kept.jpg", "old content");
    ASSERT_EQ(::chmod((out / "kept.jpg").c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((out / "kept.jpg").c_str(), 1234, 5678), 0);
    }
    // A name of 255 bytes.
    const std::string longName = std::string(251, 'n') + ".jpg";
    fs::copy_file(DataPath("id_blue.jpg"), photos / longName);

    std::vector<std::string> args = SettingsArgs();
    args.insert(args.end(), {"--out", out.string(), (photos / "linked.jpg").string(),
                             (photos / "kept.jpg").string(), (photos / longName).string()});
    const clitest::RunOutput run = clitest::RunAudit(args, dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = run.Lines();
    ASSERT_EQ(lines.size(), 3u) << run.out;
    for (const auto& line : lines) {
        EXPECT_EQ(line.at("verdict").get<std::string>(), "AUDIT_PASSED") << line;
        EXPECT_FALSE(line.contains("error")) << line;
    }

    EXPECT_TRUE(fs::is_symlink(out / "linked.jpg"));
    EXPECT_EQ(fs::read_symlink(out / "linked.jpg"), "../real/target.jpg");
    EXPECT_TRUE(HasPassMarker((dir / "real" / "target.jpg").string()));

    struct stat kept {};
    ASSERT_EQ(::stat((out / "kept.jpg").c_str(), &kept), 0);
    EXPECT_EQ(kept.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(kept.st_uid, 1234u);
        EXPECT_EQ(kept.st_gid, 5678u);
    }
    EXPECT_TRUE(HasPassMarker((out / "kept.jpg").string()));
    EXPECT_TRUE(HasPassMarker((out / longName).string()));

    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
        ++entries;
    }
    EXPECT_EQ(entries, 3u);
}

TEST(MisbehavingFilesCli, OutFolderThatCannotBeWrittenIsRefusedBeforeTheFirstAudit) {
    if (!testsupport::CanDropPrivileges()) GTEST_SKIP() << "needs root to become nobody";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const fs::path out = dir / "locked";
    fs::create_directory(out);
    ASSERT_EQ(::chmod(out.c_str(), 0755), 0);  // owned by root: nobody may not add files
    WriteBytes(out / "id_blue.jpg", "old content");
    ASSERT_EQ(::chmod((out / "id_blue.jpg").c_str(), 0666), 0);
    fs::copy_file(DataPath("id_blue.jpg"), dir / "id_blue.jpg");
    ASSERT_EQ(::chmod((dir / "id_blue.jpg").c_str(), 0644), 0);

    std::vector<std::string> args = SettingsArgs();
    args.insert(args.end(), {"--out", out.string(), (dir / "id_blue.jpg").string()});
    const clitest::RunOutput run = RunAuditAsNobody(args, dir.path());
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("the folder \"" + out.string() + "\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(out / "id_blue.jpg"), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 1);
}
