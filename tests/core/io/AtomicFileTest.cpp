#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/io/AtomicFile.h"
#include "support/SpecialFiles.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace fs = std::filesystem;

namespace {

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

}  // namespace

// A file written in pieces appears whole on commit, and not at all when the
// writing is given up: the old file stays and nothing else is left.
TEST(AtomicFile, StreamedFileAppearsWholeOrNotAtAll) {
    struct Row {
        const char* description;
        enum { Commit, Abandon, Destroy } end;
        const char* expected;
    };
    const Row rows[] = {
        {"committed: the pieces replace the old file", Row::Commit, "first second"},
        {"abandoned: the old file stays", Row::Abandon, "old"},
        {"dropped without a commit: the old file stays", Row::Destroy, "old"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        const fs::path target = dir / "report.html";
        WriteBytes(target, "old");
        ::chmod(target.c_str(), 0640);
        {
            Result<AtomicFile> file = AtomicFile::Begin(target);
            ASSERT_TRUE(file) << file.error().message;
            ASSERT_TRUE(file->Write("first "));
            ASSERT_TRUE(file->Write("second"));
            EXPECT_EQ(ReadBytes(target), "old") << "nothing shows before the commit";
            if (row.end == Row::Commit) {
                ASSERT_TRUE(file->Commit());
            } else if (row.end == Row::Abandon) {
                file->Abandon();
            }
        }
        EXPECT_EQ(ReadBytes(target), row.expected);
        EXPECT_EQ(EntriesIn(dir.path()), 1u);
        struct stat status {};
        ::stat(target.c_str(), &status);
        EXPECT_EQ(status.st_mode & 07777, 0640u) << "the mode is kept";
    }
}

TEST(AtomicFile, RefusedTargetsAreNotTouched) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    specialfiles::MakeFifo(dir / "fifo");
    const struct {
        const char* description;
        fs::path target;
        ErrorKind kind;
    } rows[] = {
        {"a folder", dir / "folder", ErrorKind::IsFolder},
        {"a FIFO", dir / "fifo", ErrorKind::NotAFile},
        {"a missing folder", dir / "missing" / "a.txt", ErrorKind::WriteFailed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.description);
        const Result<fs::path> written = WriteFileAtomically(row.target, "x");
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().kind, row.kind);
        EXPECT_FALSE(written.error().message.empty());
    }
    EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

TEST(AtomicFile, FullDiskIsIncompleteAndLeavesNothing) {
    TempDir dir;
    const fs::path mountPoint = dir / "small";
    fs::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights)";
    }
    WriteBytes(mountPoint / "page.html", "old");
    Result<AtomicFile> file = AtomicFile::Begin(mountPoint / "page.html");
    ASSERT_TRUE(file);
    Result<void> written;
    const std::string piece(4096, 'x');
    for (int i = 0; i < 16 && written; ++i) written = file->Write(piece);
    const std::string after = ReadBytes(mountPoint / "page.html");
    const std::size_t entries = EntriesIn(mountPoint);
    ::umount(mountPoint.c_str());
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().kind, ErrorKind::Incomplete);
    EXPECT_EQ(after, "old");
    EXPECT_EQ(entries, 1u);
}

TEST(AtomicFile, OpenFolderKeepsWritingIntoTheFolderItOpenedWhateverBecomesOfItsPath) {
    TempDir dir;
    fs::create_directories(dir / "inputs");
    WriteBytes(dir / "inputs" / "a.jpg", "a photo");
    Result<OpenFolder> out = OpenFolder::Open(dir / "out", true);
    ASSERT_TRUE(out) << out.error().message;
    // The folder is renamed and a link to the inputs put in its place.
    fs::rename(dir / "out", dir / "moved");
    fs::create_directory_symlink("inputs", dir / "out");

    Result<AtomicFile> file = AtomicFile::BeginIn(*out, "a.jpg");
    ASSERT_TRUE(file) << file.error().message;
    ASSERT_TRUE(file->Write("processed"));
    ASSERT_TRUE(file->Commit());
    EXPECT_EQ(ReadBytes(dir / "moved" / "a.jpg"), "processed");
    EXPECT_EQ(ReadBytes(dir / "inputs" / "a.jpg"), "a photo");
    EXPECT_EQ(file->target(), dir / "out" / "a.jpg") << "messages name the folder as given";
}
