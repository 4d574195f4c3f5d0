#include "core/save/SavePhoto.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <sstream>
#include <vector>

namespace quorvel {

namespace fs = std::filesystem;

std::array<std::uint8_t, kPassMarkerLength> MakePassMarker() {
    std::array<std::uint8_t, kPassMarkerLength> marker{};
    for (std::size_t i = 0; i < kPassMarkerSeed.size(); ++i) {
        marker[i] = static_cast<std::uint8_t>((kPassMarkerSeed[i] + i + 5) % 256);
    }
    return marker;
}

bool EndsWithPassMarker(const std::string& bytes) {
    if (bytes.size() < kPassMarkerLength) return false;
    const auto marker = MakePassMarker();
    return std::memcmp(bytes.data() + bytes.size() - kPassMarkerLength, marker.data(),
                       kPassMarkerLength) == 0;
}

bool HasPassMarker(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < static_cast<std::streamoff>(kPassMarkerLength)) return false;
    std::string tail(kPassMarkerLength, '\0');
    in.seekg(size - static_cast<std::streamoff>(kPassMarkerLength));
    in.read(tail.data(), static_cast<std::streamsize>(kPassMarkerLength));
    return in.good() && EndsWithPassMarker(tail);
}

namespace {

std::string ErrnoText(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// Follows a chain of symbolic links to the file they name, which need not
// exist yet. Sets `error` (ELOOP) for a chain that does not end.
fs::path ResolveLinks(const fs::path& destination, int& error) {
    constexpr int kMaxLinks = 40;  // as the kernel's own limit
    fs::path path = destination;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(path, ec)) return path;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            error = ec.value();
            return path;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = ELOOP;
    return path;
}

// Creates a new, empty file with a short name beside `target`, keeping the
// extension so that the image library picks the same encoder. The name stays
// short whatever the length of the target's name. A file that is to replace
// another is created private and given the old file's mode once complete.
// Returns the path, or an empty path with `error` set.
fs::path CreateTemporaryBeside(const fs::path& target, bool replacing, int& error) {
    std::random_device rd;
    char suffix[16];
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::snprintf(suffix, sizeof(suffix), "%08x", static_cast<unsigned>(rd()));
        fs::path temp = target;
        temp.replace_filename(".quorvel-" + std::string(suffix) + target.extension().string());
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
        if (fd >= 0) {
            ::close(fd);
            return temp;
        }
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
    }
    error = EEXIST;
    return {};
}

// Gives the new file the owner (where the process may) and the permission
// bits of the file it replaces. Returns errno, 0 on success.
int TakeOwnerAndMode(const fs::path& temp, const struct stat& old) {
    if (::chown(temp.c_str(), old.st_uid, old.st_gid) != 0) {
        // Not allowed to give the file away: keep at least the group if possible.
        (void)::chown(temp.c_str(), static_cast<uid_t>(-1), old.st_gid);
    }
    // After chown, which may clear the set-user-ID and set-group-ID bits.
    if (::chmod(temp.c_str(), old.st_mode & 07777) != 0) return errno;
    return 0;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Appends the marker to a file that exists, without creating or truncating
// it, and makes the file durable. Returns errno, 0 on success.
int AppendMarker(const fs::path& path, std::string& error) {
    const auto marker = MakePassMarker();
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        error = ErrnoText("cannot reopen the written image", code);
        return code;
    }
    int code = 0;
    ssize_t written = ::write(fd, marker.data(), marker.size());
    if (written != static_cast<ssize_t>(marker.size())) {
        code = written < 0 ? errno : ENOSPC;
        error = ErrnoText("cannot append the pass marker", code);
    } else if (::fsync(fd) != 0) {
        code = errno;
        error = ErrnoText("cannot flush the saved photo", code);
    }
    if (::close(fd) != 0 && code == 0) {
        code = errno;
        error = ErrnoText("cannot close the saved photo", code);
    }
    return code;
}

}  // namespace

SaveResult SaveProcessedPhoto(const cv::Mat& photo, const fs::path& destination) {
    SaveResult result;
    result.target = destination.string();
    auto fail = [&result](SaveError code, std::string error, int systemError = 0) {
        result.code = code;
        result.error = std::move(error);
        result.systemError = systemError;
        return result;
    };
    if (photo.empty()) return fail(SaveError::NoPhoto, "there is no processed photo to save");
    const std::string narrowPath = destination.string();
    const std::string extension = destination.extension().string();
    const std::vector<int> params = {cv::IMWRITE_JPEG_QUALITY, kSaveJpegQuality};

    // The expected image bytes, to verify that the write reached the disk whole.
    std::vector<uchar> expected;
    const std::string noEncoder =
        "no image format for the file name \"" + destination.filename().string() + "\"";
    try {
        if (extension.empty() || !cv::imencode(extension, photo, expected, params)) {
            return fail(SaveError::NoEncoder, noEncoder);
        }
    } catch (const cv::Exception&) {
        return fail(SaveError::NoEncoder, noEncoder);
    }

    // A link stays a link: the file it points to is the one replaced.
    int linkError = 0;
    const fs::path target = ResolveLinks(destination, linkError);
    result.target = target.string();
    if (linkError != 0) {
        return fail(SaveError::WriteFailed,
                    ErrnoText("cannot follow the link " + Quoted(destination), linkError),
                    linkError);
    }

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode)) {
        return fail(SaveError::IsFolder, Quoted(target) + " is a folder", EISDIR);
    }
    if (replacing && !S_ISREG(old.st_mode)) {
        return fail(SaveError::NotAFile, Quoted(target) + " is a device, pipe or socket");
    }
    if (replacing && ::access(target.c_str(), W_OK) != 0) {
        const int code = errno;
        return fail(SaveError::NotWritable, ErrnoText("cannot replace " + Quoted(target), code),
                    code);
    }

    // Written beside the file it replaces, then renamed over it once complete.
    int createError = 0;
    const fs::path temp = CreateTemporaryBeside(target, replacing, createError);
    if (temp.empty()) {
        const fs::path folder = target.parent_path().empty() ? "." : target.parent_path();
        if (replacing && (createError == EACCES || createError == EPERM || createError == EROFS)) {
            return fail(
                SaveError::FolderNotWritable,
                ErrnoText("cannot replace " + Quoted(target) + ": the folder " + Quoted(folder) +
                              " cannot be written, and the photo is saved as a new "
                              "file there that then takes the old one's place",
                          createError),
                createError);
        }
        return fail(SaveError::WriteFailed,
                    ErrnoText("cannot write in the folder " + Quoted(folder), createError),
                    createError);
    }
    std::error_code ec;
    auto failAndClean = [&](SaveError code, std::string error, int systemError = 0) {
        fs::remove(temp, ec);
        return fail(code, std::move(error), systemError);
    };

    bool written = false;
    errno = 0;
    try {
        written = cv::imwrite(temp.string(), photo, params);
    } catch (const cv::Exception& e) {
        return failAndClean(SaveError::WriteFailed,
                            std::string("cannot write the image: ") + e.what());
    }
    if (!written) {
        const int code = errno;
        std::string error = "cannot write the image to " + Quoted(target);
        if (code != 0) error = ErrnoText(error, code);
        return failAndClean(SaveError::WriteFailed, error, code);
    }

    const std::string onDisk = ReadFile(temp);
    if (onDisk.size() != expected.size() ||
        std::memcmp(onDisk.data(), expected.data(), expected.size()) != 0) {
        return failAndClean(SaveError::Incomplete,
                            "the image was not written completely (is the disk full?)", ENOSPC);
    }

    std::string error;
    if (const int code = AppendMarker(temp, error); code != 0) {
        return failAndClean(SaveError::MarkerFailed, error, code);
    }
    if (replacing) {
        if (const int code = TakeOwnerAndMode(temp, old); code != 0) {
            return failAndClean(
                SaveError::WriteFailed,
                ErrnoText("cannot give the new file the permissions of " + Quoted(target), code),
                code);
        }
    }

    fs::rename(temp, target, ec);
    if (ec) {
        return failAndClean(SaveError::WriteFailed,
                            "cannot write " + Quoted(target) + ": " + ec.message(), ec.value());
    }

    result.ok = true;
    result.imageBytes = expected.size();
    return result;
}

}  // namespace quorvel
