#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <compare>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/common/Result.h"

namespace quorvel {

// What the file system says about a name, without opening the file: its
// type and identity, a link's target, a folder's files; and the folders a
// writer creates.

// A file by device and inode: two names of one file have one identity.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

enum class EntryType {
    Missing,  // nothing there, or nothing the process may look at
    Regular,
    Folder,
    Link,   // only when links are not followed
    Other,  // a device, FIFO or socket
};

// Whether a symbolic link is looked through (stat) or looked at (lstat).
enum class Links { Follow, Keep };

// One look at a name.
struct EntryStatus {
    EntryType type = EntryType::Missing;
    FileIdentity identity;  // of what is there; meaningless when Missing
    int systemError = 0;    // why it is Missing (ENOENT, EACCES ...)

    bool exists() const { return type != EntryType::Missing; }
};

EntryStatus StatusOf(const std::filesystem::path& path, Links links = Links::Follow);

// The same for an open descriptor (standard output redirected to a file).
EntryStatus StatusOfDescriptor(int fd);

// What a file was when it was read: its length and when it was last
// modified, so that a later look can tell whether it still is that file.
struct FileStamp {
    std::uintmax_t length = 0;
    std::int64_t modifiedSeconds = 0;  // since 1970-01-01 UTC
    std::uint32_t modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const struct stat& status);

// The name an open descriptor was opened by (standard output redirected to
// a file), as the system keeps it; nothing when it has none (a pipe, a
// terminal, a file removed since).
std::optional<std::filesystem::path> DescriptorName(int fd);

// The files whose names match a shell pattern ("results/part-*.jsonl"),
// sorted by name; a name without pattern characters is itself. Empty when
// nothing matches.
std::vector<std::filesystem::path> FilesMatching(const std::string& pattern);

// The path a symbolic link holds; nothing when `link` is not a link.
std::optional<std::filesystem::path> LinkTarget(const std::filesystem::path& link);

// The absolute path with every link of the part that exists resolved, the
// rest as written; the lexically normal path when even that fails.
std::filesystem::path ResolvedPath(const std::filesystem::path& path);

// Creates a folder and the parents it lacks; a folder already there is
// fine. WriteFailed with the system's errno when it cannot be made.
Result<void> CreateFolders(const std::filesystem::path& folder);

// A regular file found in a folder, with the one look that found it.
struct FoundFile {
    std::filesystem::path path;
    EntryStatus status;
};

// What a folder holds besides its sub-folders: its regular files (links to
// regular files included) and the names that are neither (a FIFO, a device,
// a socket, a link to nothing), in the order the folder lists them.
struct FolderEntries {
    std::vector<FoundFile> files;
    std::vector<std::filesystem::path> others;
};

// The entries of a folder; with `recursive` those of its sub-folders too.
// Sub-folders that may not be read are passed over. NotReadable when the
// folder itself cannot be read.
Result<FolderEntries> EntriesIn(const std::filesystem::path& folder, bool recursive);

}  // namespace quorvel
