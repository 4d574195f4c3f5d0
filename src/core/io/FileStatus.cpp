#include "core/io/FileStatus.h"

#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "core/common/ErrorText.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

EntryStatus FromStat(const struct stat& status) {
    EntryType type = EntryType::Other;
    if (S_ISREG(status.st_mode)) type = EntryType::Regular;
    if (S_ISDIR(status.st_mode)) type = EntryType::Folder;
    if (S_ISLNK(status.st_mode)) type = EntryType::Link;
    return {type, {status.st_dev, status.st_ino}, 0};
}

}  // namespace

EntryStatus StatusOf(const fs::path& path, Links links) {
    struct stat status {};
    const int done =
        links == Links::Follow ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
    if (done != 0) return {EntryType::Missing, {}, errno};
    return FromStat(status);
}

EntryStatus StatusOfDescriptor(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return {EntryType::Missing, {}, errno};
    return FromStat(status);
}

FileStamp StampOf(const struct stat& status) {
    return {static_cast<std::uintmax_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec),
            static_cast<std::uint32_t>(status.st_mtim.tv_nsec)};
}

std::optional<fs::path> DescriptorName(int fd) {
    const EntryStatus status = StatusOfDescriptor(fd);
    if (status.type != EntryType::Regular) return std::nullopt;
    const std::optional<fs::path> name = LinkTarget("/proc/self/fd/" + std::to_string(fd));
    // The name must still lead to the very file: not one removed or replaced since.
    if (!name || !name->is_absolute() || StatusOf(*name).identity != status.identity) {
        return std::nullopt;
    }
    return name;
}

std::vector<fs::path> FilesMatching(const std::string& pattern) {
    glob_t found{};
    std::vector<fs::path> names;
    if (::glob(pattern.c_str(), 0, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) names.emplace_back(found.gl_pathv[i]);
    }
    ::globfree(&found);
    return names;
}

std::optional<fs::path> LinkTarget(const fs::path& link) {
    std::error_code ec;
    fs::path target = fs::read_symlink(link, ec);
    if (ec) return std::nullopt;
    return target;
}

fs::path ResolvedPath(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return path.lexically_normal();
    return resolved;
}

Result<void> CreateFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec && StatusOf(folder).type == EntryType::Folder) return {};
    const int code = ec ? ec.value() : ENOTDIR;
    return Fail(ErrorKind::WriteFailed,
                ErrnoText("cannot create the folder " + Quoted(folder), code), code, folder);
}

Result<FolderEntries> EntriesIn(const fs::path& folder, bool recursive) {
    FolderEntries found;
    std::error_code ec;
    auto consider = [&found](const fs::directory_entry& entry) {
        EntryStatus status = StatusOf(entry.path());
        if (status.type == EntryType::Regular) {
            found.files.push_back({entry.path(), status});
        } else if (status.type != EntryType::Folder) {
            found.others.push_back(entry.path());
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
    return found;
}

}  // namespace quorvel
