#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/common/Result.h"
#include "core/io/FileStatus.h"

namespace quorvel::cli {

// The photos named on the command line, and the folders that gave none.
struct PhotoList {
    std::vector<std::filesystem::path> photos;
    // What each photo was when the list was made: the run's one look at it
    // before its audit opens it.
    std::vector<EntryStatus> statuses;
    std::vector<Error> problems;  // a folder that cannot be read or holds no photos
    std::vector<std::string>
        notes;  // files of a folder passed over, for standard error (no failure)
};

// Files stay as given; a folder stands for the image files inside it (jpg,
// jpeg, png, bmp in any letter case), sorted by name; with `recursive` its
// sub-folders are searched too. A folder without photos stays in the list as
// it was given, so that it gets its verdict line instead of vanishing.
PhotoList ExpandPhotoArguments(const std::vector<std::filesystem::path>& arguments, bool recursive);

// The image files of one folder, sorted by their path below it, and how many
// other files it held; an error when it cannot be read or holds no photo.
struct FolderPhotos {
    std::vector<FoundFile> photos;
    std::size_t skipped = 0;  // files without an image extension
    // Names with an image extension that are not regular files (a FIFO, a
    // device, a link to nothing): never audited, so named on standard error.
    std::vector<std::filesystem::path> unusable;
};
Result<FolderPhotos> PhotosIn(const std::filesystem::path& folder, bool recursive);

// How the names of a list file are separated.
enum class ListSeparator { Newline, Nul };

// The names of a list: one a line (or NUL-separated), bytes as they are;
// empty entries are skipped.
std::vector<std::filesystem::path> SplitNameList(const std::string& bytes, ListSeparator separator);

// The bounds of a list: no name is longer than a path may be, and the whole
// list is at most 1 GiB (a device that never ends is refused, not read on).
inline constexpr std::size_t kMaxListNameBytes = 4096;
inline constexpr std::uintmax_t kMaxListBytes = std::uintmax_t{1} << 30;

// Reads a list file ("-" for standard input, read from `in`) and splits it;
// TooLarge or BadContent beyond the bounds.
Result<std::vector<std::filesystem::path>> ReadNameList(const std::filesystem::path& file,
                                                        ListSeparator separator, std::istream& in);

// One part of a run that is split into `count` parts.
struct Shard {
    std::size_t index = 0;  // 0 .. count-1
    std::size_t count = 1;
};

// The positions (in list order) of the photos of one part: those whose rank
// in the list sorted by the bytes of their paths leaves remainder
// shard.index when divided by shard.count. Every part sees the same list, so
// the parts together hold each entry once.
std::vector<std::size_t> ShardPositions(const std::vector<std::filesystem::path>& photos,
                                        Shard shard);

}  // namespace quorvel::cli
