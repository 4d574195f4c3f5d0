#pragma once

#include <sys/types.h>

#include <compare>
#include <cstddef>
#include <filesystem>
#include <optional>
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

// The regular files of a folder (links to regular files included), in the
// order the folder lists them; with `recursive` those of its sub-folders
// too. Sub-folders that may not be read are passed over. NotReadable when
// the folder itself cannot be read.
Result<std::vector<FoundFile>> RegularFilesIn(const std::filesystem::path& folder, bool recursive);

}  // namespace quorvel
