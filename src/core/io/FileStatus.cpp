#include "core/io/FileStatus.h"

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

Result<std::vector<FoundFile>> RegularFilesIn(const fs::path& folder, bool recursive) {
    std::vector<FoundFile> found;
    std::error_code ec;
    auto consider = [&found](const fs::directory_entry& entry) {
        EntryStatus status = StatusOf(entry.path());
        if (status.type == EntryType::Regular) found.push_back({entry.path(), status});
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
