#include "cli/run/PhotoList.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <numeric>
#include <sstream>

#include "core/common/ErrorText.h"
#include "core/io/ImageFiles.h"
#include "core/io/RegularFile.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

Result<FolderPhotos> PhotosIn(const fs::path& folder, bool recursive) {
    Result<FolderEntries> entries = EntriesIn(folder, recursive);
    if (!entries) return entries.error();
    FolderPhotos inside;
    for (fs::path& other : entries->others) {
        if (HasImageExtension(other.filename(), ExtensionCase::Any)) {
            inside.unusable.push_back(std::move(other));
        }
    }
    std::sort(inside.unusable.begin(), inside.unusable.end());
    for (FoundFile& file : entries->files) {
        if (HasImageExtension(file.path.filename(), ExtensionCase::Any)) {
            inside.photos.push_back(std::move(file));
        } else {
            ++inside.skipped;
        }
    }
    if (inside.photos.empty()) {
        return Fail(ErrorKind::NotFound,
                    "the folder \"" + folder.string() + "\" holds no jpg, jpeg, png or bmp files",
                    0, folder);
    }
    std::sort(inside.photos.begin(), inside.photos.end(),
              [&](const FoundFile& a, const FoundFile& b) {
                  return a.path.lexically_relative(folder).generic_string() <
                         b.path.lexically_relative(folder).generic_string();
              });
    return inside;
}

namespace {

// Names the entries of a folder that look like photos but are not regular
// files, the first few of them, so that none goes missing without a word.
std::string UnusableNote(const fs::path& folder, const std::vector<fs::path>& unusable) {
    constexpr std::size_t kNamed = 3;
    std::string note = "the folder " + Quoted(folder) + ": " + std::to_string(unusable.size()) +
                       (unusable.size() == 1 ? " name" : " names") +
                       " skipped (not a regular file: a link to nothing, a FIFO or a device):";
    for (std::size_t i = 0; i < unusable.size() && i < kNamed; ++i) {
        note += (i == 0 ? " " : ", ") + Quoted(unusable[i]);
    }
    if (unusable.size() > kNamed)
        note += " and " + std::to_string(unusable.size() - kNamed) + " more";
    return note;
}

}  // namespace

PhotoList ExpandPhotoArguments(const std::vector<fs::path>& arguments, bool recursive) {
    PhotoList list;
    auto add = [&list](fs::path photo, const EntryStatus& status) {
        list.photos.push_back(std::move(photo));
        list.statuses.push_back(status);
    };
    for (const fs::path& argument : arguments) {
        const EntryStatus status = StatusOf(argument);
        if (status.type != EntryType::Folder) {
            add(argument, status);
            continue;
        }
        Result<FolderPhotos> inside = PhotosIn(argument, recursive);
        if (!inside) {
            add(argument, status);
            list.problems.push_back(inside.error());
            continue;
        }
        if (inside->skipped > 0) {
            list.notes.push_back("the folder " + Quoted(argument) + ": " +
                                 std::to_string(inside->skipped) +
                                 (inside->skipped == 1 ? " file" : " files") +
                                 " skipped (not jpg, jpeg, png or bmp)");
        }
        if (!inside->unusable.empty())
            list.notes.push_back(UnusableNote(argument, inside->unusable));
        for (FoundFile& file : inside->photos) add(std::move(file.path), file.status);
    }
    return list;
}

std::vector<fs::path> SplitNameList(const std::string& bytes, ListSeparator separator) {
    const char end = separator == ListSeparator::Nul ? '\0' : '\n';
    std::vector<fs::path> names;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t stop = bytes.find(end, start);
        if (stop == std::string::npos) stop = bytes.size();
        if (stop > start) names.emplace_back(bytes.substr(start, stop - start));
        start = stop + 1;
    }
    return names;
}

namespace {

// Reads the next bytes into a buffer: how many, 0 at the end.
using ReadChunk = std::function<Result<std::size_t>(char* buffer, std::size_t size)>;

// Splits what `read` gives into names chunk by chunk, within the list's bounds.
Result<std::vector<fs::path>> SplitChunks(const ReadChunk& read, ListSeparator separator,
                                          const std::string& shown) {
    const char end = separator == ListSeparator::Nul ? '\0' : '\n';
    std::vector<fs::path> names;
    std::string name;
    std::uintmax_t total = 0;
    std::vector<char> chunk(65536);
    while (true) {
        const Result<std::size_t> got = read(chunk.data(), chunk.size());
        if (!got) return Fail(ErrorKind::NotReadable, "cannot read the list " + shown);
        if (*got == 0) break;
        total += *got;
        if (total > kMaxListBytes) {
            return Fail(ErrorKind::TooLarge, "the list " + shown + " is longer than " +
                                                 std::to_string(kMaxListBytes) + " bytes");
        }
        for (std::size_t i = 0; i < *got; ++i) {
            if (chunk[i] == end) {
                if (!name.empty()) names.emplace_back(std::move(name));
                name.clear();
            } else if (name.size() == kMaxListNameBytes) {
                return Fail(ErrorKind::BadContent, "the list " + shown +
                                                       " holds an entry longer than " +
                                                       std::to_string(kMaxListNameBytes) +
                                                       " bytes; it is not a list of file names");
            } else {
                name += chunk[i];
            }
        }
    }
    if (!name.empty()) names.emplace_back(std::move(name));
    return names;
}

}  // namespace

Result<std::vector<fs::path>> ReadNameList(const fs::path& file, ListSeparator separator,
                                           std::istream& in) {
    if (file == "-") {
        const ReadChunk fromStream = [&in](char* buffer, std::size_t size) -> Result<std::size_t> {
            if (!in) return std::size_t{0};
            in.read(buffer, static_cast<std::streamsize>(size));
            if (in.bad()) return Fail(ErrorKind::NotReadable, "cannot read standard input");
            return static_cast<std::size_t>(in.gcount());
        };
        return SplitChunks(fromStream, separator, "from standard input");
    }
    // A list may come from a pipe (a shell's process substitution), so
    // it is read as it comes rather than required to be a regular file.
    Result<SequentialFile> opened = SequentialFile::Open(file);
    if (!opened) {
        if (opened.error().kind == ErrorKind::IsFolder) {
            return Fail(ErrorKind::IsFolder, "the list " + Quoted(file) + " is a folder", 0, file);
        }
        return Fail(ErrorKind::NotReadable, "cannot read the list " + Quoted(file), 0, file);
    }
    const ReadChunk fromFile = [&opened](char* buffer, std::size_t size) {
        return opened->Read(buffer, size);
    };
    return SplitChunks(fromFile, separator, Quoted(file));
}

std::vector<std::size_t> ShardPositions(const std::vector<fs::path>& photos, Shard shard) {
    std::vector<std::size_t> byName(photos.size());
    std::iota(byName.begin(), byName.end(), std::size_t{0});
    // std::string compares bytes as unsigned char, as memcmp does.
    std::stable_sort(byName.begin(), byName.end(), [&](std::size_t a, std::size_t b) {
        return photos[a].native() < photos[b].native();
    });
    std::vector<std::size_t> positions;
    // Steps by the count without passing the end, so that no count wraps around.
    for (std::size_t rank = shard.index; rank < byName.size();) {
        positions.push_back(byName[rank]);
        if (byName.size() - rank <= shard.count) break;
        rank += shard.count;
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

}  // namespace quorvel::cli
