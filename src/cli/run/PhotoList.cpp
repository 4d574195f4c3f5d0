#include "cli/run/PhotoList.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numeric>
#include <sstream>

#include "core/common/ErrorText.h"
#include "core/io/ImageFiles.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

Result<FolderPhotos> PhotosIn(const fs::path& folder, bool recursive) {
    std::vector<fs::path> found;
    std::size_t skipped = 0;
    std::error_code ec;
    auto consider = [&](const fs::directory_entry& entry) {
        std::error_code typeError;
        if (!entry.is_regular_file(typeError)) return;
        if (HasImageExtension(entry.path().filename(), ExtensionCase::Any)) {
            found.push_back(entry.path());
        } else {
            ++skipped;
        }
    };
    if (recursive) {
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) consider(*it);
    } else {
        fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) consider(*it);
    }
    if (ec) {
        return Fail(ErrorKind::NotReadable,
                    "cannot read the folder \"" + folder.string() + "\": " + ec.message(),
                    ec.value(), folder);
    }
    if (found.empty()) {
        return Fail(ErrorKind::NotFound,
                    "the folder \"" + folder.string() + "\" holds no jpg, jpeg, png or bmp files",
                    0, folder);
    }
    std::sort(found.begin(), found.end(), [&](const fs::path& a, const fs::path& b) {
        return a.lexically_relative(folder).generic_string() <
               b.lexically_relative(folder).generic_string();
    });
    return FolderPhotos{std::move(found), skipped};
}

PhotoList ExpandPhotoArguments(const std::vector<fs::path>& arguments, bool recursive) {
    PhotoList list;
    for (const fs::path& argument : arguments) {
        std::error_code ec;
        if (!fs::is_directory(argument, ec)) {
            list.photos.push_back(argument);
            continue;
        }
        Result<FolderPhotos> inside = PhotosIn(argument, recursive);
        if (!inside) {
            list.photos.push_back(argument);
            list.problems.push_back(inside.error());
            continue;
        }
        if (inside->skipped > 0) {
            list.notes.push_back("the folder " + Quoted(argument) + ": " +
                                 std::to_string(inside->skipped) +
                                 (inside->skipped == 1 ? " file" : " files") +
                                 " skipped (not jpg, jpeg, png or bmp)");
        }
        for (fs::path& file : inside->photos) list.photos.push_back(std::move(file));
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

// Splits a stream into names chunk by chunk, within the list's bounds.
Result<std::vector<fs::path>> SplitStream(std::istream& stream, ListSeparator separator,
                                          const std::string& shown) {
    const char end = separator == ListSeparator::Nul ? '\0' : '\n';
    std::vector<fs::path> names;
    std::string name;
    std::uintmax_t total = 0;
    std::vector<char> chunk(65536);
    while (stream) {
        stream.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(stream.gcount());
        total += got;
        if (total > kMaxListBytes) {
            return Fail(ErrorKind::TooLarge, "the list " + shown + " is longer than " +
                                                 std::to_string(kMaxListBytes) + " bytes");
        }
        for (std::size_t i = 0; i < got; ++i) {
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
    if (stream.bad()) return Fail(ErrorKind::NotReadable, "cannot read the list " + shown);
    if (!name.empty()) names.emplace_back(std::move(name));
    return names;
}

}  // namespace

Result<std::vector<fs::path>> ReadNameList(const fs::path& file, ListSeparator separator,
                                           std::istream& in) {
    if (file == "-") return SplitStream(in, separator, "from standard input");
    // A list may come from a pipe (a shell's process substitution), so
    // it is read as a stream rather than required to be a regular file.
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
        return Fail(ErrorKind::IsFolder, "the list " + Quoted(file) + " is a folder", 0, file);
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return Fail(ErrorKind::NotReadable, "cannot read the list " + Quoted(file), 0, file);
    }
    return SplitStream(stream, separator, Quoted(file));
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
