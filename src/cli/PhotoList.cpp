#include "cli/PhotoList.h"

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

Result<std::vector<fs::path>> PhotosIn(const fs::path& folder, bool recursive) {
    std::vector<fs::path> found;
    std::error_code ec;
    auto consider = [&](const fs::directory_entry& entry) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError) && HasImageExtension(entry.path().filename())) {
            found.push_back(entry.path());
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
    return found;
}

PhotoList ExpandPhotoArguments(const std::vector<fs::path>& arguments, bool recursive) {
    PhotoList list;
    for (const fs::path& argument : arguments) {
        std::error_code ec;
        if (!fs::is_directory(argument, ec)) {
            list.photos.push_back(argument);
            continue;
        }
        Result<std::vector<fs::path>> inside = PhotosIn(argument, recursive);
        if (!inside) {
            list.photos.push_back(argument);
            list.problems.push_back(inside.error().message);
            continue;
        }
        for (fs::path& file : *inside) list.photos.push_back(std::move(file));
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

Result<std::vector<fs::path>> ReadNameList(const fs::path& file, ListSeparator separator,
                                           std::istream& in) {
    std::string bytes;
    if (file == "-") {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad())
            return Fail(ErrorKind::NotReadable, "cannot read the list from standard input");
    } else {
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
        bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
        if (stream.bad()) {
            return Fail(ErrorKind::NotReadable, "cannot read the list " + Quoted(file), 0, file);
        }
    }
    return SplitNameList(bytes, separator);
}

std::vector<std::size_t> ShardPositions(const std::vector<fs::path>& photos, Shard shard) {
    std::vector<std::size_t> byName(photos.size());
    std::iota(byName.begin(), byName.end(), std::size_t{0});
    // std::string compares bytes as unsigned char, as memcmp does.
    std::stable_sort(byName.begin(), byName.end(), [&](std::size_t a, std::size_t b) {
        return photos[a].native() < photos[b].native();
    });
    std::vector<std::size_t> positions;
    for (std::size_t rank = shard.index; rank < byName.size(); rank += shard.count) {
        positions.push_back(byName[rank]);
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

}  // namespace quorvel::cli
