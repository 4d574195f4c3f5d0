#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/audit/Auditor.h"
#include "core/config/Settings.h"
#include "core/save/SavePhoto.h"
#include "support/SpecialFiles.h"
#include "support/TestSupport.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using namespace quorvel;
using testsupport::ReadBytes;
using testsupport::SamplePhoto;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::string SavedBytes(const cv::Mat& photo) {
    std::vector<uchar> bytes;
    cv::imencode(".jpg", photo, bytes, {cv::IMWRITE_JPEG_QUALITY, kSaveJpegQuality});
    const auto marker = MakePassMarker();
    return std::string(bytes.begin(), bytes.end()) + std::string(marker.begin(), marker.end());
}

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(MisbehavingFiles, PhotoThatIsNotARegularFileIsNeverReadAndIsBadFormat) {
    for (const specialfiles::Kind& kind : specialfiles::Kinds()) {
        SCOPED_TRACE(kind.description);
        TempDir dir;
        const fs::path path = kind.make(dir.path());
        specialfiles::FifoRescuer rescuer({path}, std::chrono::seconds(10));
        Auditor auditor(testsupport::Cascade(), {BackgroundColor::Any, SizeMode::Mode1});
        const AuditReport result = auditor.Audit(path);
        EXPECT_FALSE(rescuer.Stop()) << "the audit waited for a writer";
        EXPECT_EQ(result.verdict, Verdict::BadFormat) << VerdictName(result.verdict);
        EXPECT_TRUE(result.processedPhoto.empty());
    }
}

TEST(MisbehavingFiles, ConfigurationThatIsNotARegularFileCountsAsMissing) {
    struct Row {
        const char* description;
        void (*make)(const fs::path& cfg);
        bool opened;
    };
    const Row rows[] = {
        {"a folder", [](const fs::path& cfg) { fs::create_directory(cfg); }, false},
        {"a FIFO", [](const fs::path& cfg) { specialfiles::MakeFifo(cfg); }, false},
        {"a link to a folder",
         [](const fs::path& cfg) {
             fs::create_directory(cfg.parent_path() / "settings");
             fs::create_symlink("settings", cfg);
         },
         false},
        {"a link to a regular file",
         [](const fs::path& cfg) {
             WriteBytes(cfg.parent_path() / "real.ini", "[set]\ncolor=2\nsize=2\n");
             fs::create_symlink("real.ini", cfg);
         },
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        row.make(dir / "cfg.ini");
        specialfiles::FifoRescuer rescuer({dir / "cfg.ini"}, std::chrono::seconds(10));
        const Result<SettingsFile> file = ReadSettings(dir / "cfg.ini");
        EXPECT_FALSE(rescuer.Stop()) << "reading the settings waited for a writer";
        EXPECT_EQ(file.ok(), row.opened);
        if (row.opened) {
            EXPECT_EQ(file->settings.color, BackgroundColor::Blue);
            EXPECT_EQ(file->settings.size, SizeMode::Mode2);
        }
    }
}

TEST(MisbehavingFiles, SavingThroughALinkReplacesTheFileItPointsTo) {
    struct Row {
        const char* description;
        const char* link;    // the destination chosen, a link
        const char* target;  // the file that must receive the photo
        void (*make)(const fs::path& dir);
    };
    const Row rows[] = {
        {"link to an existing file", "photo.jpg", "real/photo-target.jpg",
         [](const fs::path& d) {
             WriteBytes(d / "real" / "photo-target.jpg", "old content");
             fs::create_symlink("real/photo-target.jpg", d / "photo.jpg");
         }},
        {"link to a link to an existing file", "outer.jpg", "real/inner-target.jpg",
         [](const fs::path& d) {
             WriteBytes(d / "real" / "inner-target.jpg", "old content");
             fs::create_symlink("inner-target.jpg", d / "real" / "inner.jpg");
             fs::create_symlink(d / "real" / "inner.jpg", d / "outer.jpg");
         }},
        {"link to a file that does not exist yet", "dangling.jpg", "real/new.jpg",
         [](const fs::path& d) { fs::create_symlink("real/new.jpg", d / "dangling.jpg"); }},
    };
    const cv::Mat photo = SamplePhoto();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        fs::create_directory(dir / "real");
        row.make(dir.path());
        const fs::path linkPath = dir / row.link;
        const fs::path linkText = fs::read_symlink(linkPath);

        const testsupport::SaveOutcome result = testsupport::Save(photo, linkPath.string());
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_TRUE(fs::is_symlink(linkPath));
        EXPECT_EQ(fs::read_symlink(linkPath), linkText);
        EXPECT_EQ(ReadBytes(dir / row.target), SavedBytes(photo));
        EXPECT_TRUE(HasPassMarker(linkPath.string()));
        // No temporary file is left beside the link or beside the file.
        for (const std::string& name : Entries(dir.path())) EXPECT_NE(name[0], '.') << name;
        for (const std::string& name : Entries(dir / "real")) EXPECT_NE(name[0], '.') << name;
    }
}

TEST(MisbehavingFiles, ReplacedFileKeepsItsPermissionBitsAndOwner) {
    const mode_t modes[] = {0600, 0640, 0664, 0444, 0755};
    const bool root = ::geteuid() == 0;
    for (mode_t mode : modes) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        TempDir dir;
        const fs::path path = dir / "photo.jpg";
        WriteBytes(path, "old content");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        if (root) {
            ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
        }
        if (!root && (mode & 0200) == 0) continue;  // not replaceable without root

        const testsupport::SaveOutcome result = testsupport::Save(SamplePhoto(), path.string());
        ASSERT_TRUE(result.ok) << result.error;
        struct stat after {};
        ASSERT_EQ(::stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, mode);
        if (root) {
            EXPECT_EQ(after.st_uid, 1234u);
            EXPECT_EQ(after.st_gid, 5678u);
        }
        EXPECT_EQ(ReadBytes(path), SavedBytes(SamplePhoto()));
    }
}

TEST(MisbehavingFiles, NamesUpToTheFileSystemLimitSave) {
    struct Row {
        const char* description;
        std::size_t nameBytes;
        bool ok;
    };
    const Row rows[] = {
        {"255-byte name", 255, true},
        {"254-byte name", 254, true},
        {"256-byte name, over the limit", 256, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        const fs::path path = dir / (std::string(row.nameBytes - 4, 'n') + ".jpg");
        const testsupport::SaveOutcome result = testsupport::Save(SamplePhoto(), path.string());
        EXPECT_EQ(result.ok, row.ok) << result.error;
        if (row.ok) {
            EXPECT_EQ(ReadBytes(path), SavedBytes(SamplePhoto()));
            EXPECT_EQ(Entries(dir.path()).size(), 1u);
        } else {
            EXPECT_EQ(result.systemError, ENAMETOOLONG);
            EXPECT_FALSE(result.error.empty());
            EXPECT_TRUE(Entries(dir.path()).empty());
        }
    }
}

TEST(MisbehavingFiles, DestinationThatIsNotARegularFileIsLeftAlone) {
    TempDir dir;
    specialfiles::MakeFifo(dir / "fifo.jpg");
    fs::create_symlink("/dev/null", dir / "null.jpg");
    for (const char* name : {"fifo.jpg", "null.jpg"}) {
        SCOPED_TRACE(name);
        const testsupport::SaveOutcome result =
            testsupport::Save(SamplePhoto(), (dir / name).string());
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.code, quorvel::ErrorKind::NotAFile);
        EXPECT_FALSE(result.error.empty());
    }
    EXPECT_TRUE(fs::is_fifo(dir / "fifo.jpg"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"fifo.jpg", "null.jpg"}));
}

TEST(MisbehavingFiles, WritableFileInAFolderThatCannotBeWrittenIsRefusedWithTheCause) {
    if (!testsupport::CanDropPrivileges()) GTEST_SKIP() << "needs root to become nobody";
    TempDir dir;
    const fs::path folder = dir / "locked";
    fs::create_directory(folder);
    const fs::path path = folder / "photo.jpg";
    WriteBytes(path, "old content");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);  // owned by root: nobody may not add files
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);

    const auto outcome = testsupport::RunAsNobody([&path] {
        const testsupport::SaveOutcome result = testsupport::Save(SamplePhoto(), path.string());
        return std::to_string(result.ok) + " " + std::to_string(static_cast<int>(result.code)) +
               " " + std::to_string(result.systemError) + " " + result.error;
    });
    ASSERT_TRUE(outcome.has_value());
    const std::string expected =
        "0 " + std::to_string(static_cast<int>(quorvel::ErrorKind::FolderNotWritable)) + " " +
        std::to_string(EACCES) + " ";
    EXPECT_EQ(outcome->substr(0, expected.size()), expected) << *outcome;
    EXPECT_NE(outcome->find("the folder \"" + folder.string() + "\" cannot be written"),
              std::string::npos)
        << *outcome;
    EXPECT_EQ(ReadBytes(path), "old content");
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"photo.jpg"});
}
