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

// A new, empty file beside the one it is to become, open for writing.
struct TemporaryFile {
    fs::path path;
    int fd = -1;
};

// Creates a file with a short name beside `target`, keeping the extension:
// the name stays short whatever the length of the target's name. A file that
// is to replace another is created private and given the old file's mode
// once complete. Returns the file, or one with fd -1 and `error` set.
TemporaryFile CreateTemporaryBeside(const fs::path& target, bool replacing, int& error) {
    std::random_device rd;
    char suffix[16];
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::snprintf(suffix, sizeof(suffix), "%08x", static_cast<unsigned>(rd()));
        fs::path temp = target;
        temp.replace_filename(".quorvel-" + std::string(suffix) + target.extension().string());
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
        if (fd >= 0) return {temp, fd};
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
    }
    error = EEXIST;
    return {};
}

// Writes all the bytes; returns errno (ENOSPC for a write that stopped
// short), 0 on success.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return ENOSPC;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// Gives the new file the owner (where the process may) and the permission
// bits of the file it replaces. Returns errno, 0 on success.
int TakeOwnerAndMode(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not allowed to give the file away: keep at least the group if possible.
        (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    // After chown, which may clear the set-user-ID and set-group-ID bits.
    if (::fchmod(fd, old.st_mode & 07777) != 0) return errno;
    return 0;
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
    const std::string extension = destination.extension().string();
    const std::vector<int> params = {cv::IMWRITE_JPEG_QUALITY, kSaveJpegQuality};

    // The image is encoded once, in memory, then written with the marker.
    std::vector<uchar> image;
    const std::string noEncoder =
        "no image format for the file name \"" + destination.filename().string() + "\"";
    try {
        if (extension.empty() || !cv::imencode(extension, photo, image, params)) {
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
    const TemporaryFile temp = CreateTemporaryBeside(target, replacing, createError);
    if (temp.fd < 0) {
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
    auto failAndClean = [&](SaveError code, std::string error, int systemError) {
        ::close(temp.fd);
        fs::remove(temp.path, ec);
        return fail(code, std::move(error), systemError);
    };

    if (const int code = WriteAll(temp.fd, image.data(), image.size()); code != 0) {
        const bool full = code == ENOSPC || code == EDQUOT;
        return failAndClean(full ? SaveError::Incomplete : SaveError::WriteFailed,
                            full ? std::string("the image was not written completely (is the "
                                               "disk full?)")
                                 : ErrnoText("cannot write the image to " + Quoted(target), code),
                            code);
    }
    const auto marker = MakePassMarker();
    if (const int code = WriteAll(temp.fd, marker.data(), marker.size()); code != 0) {
        return failAndClean(SaveError::MarkerFailed,
                            ErrnoText("cannot append the pass marker", code), code);
    }
    if (replacing) {
        if (const int code = TakeOwnerAndMode(temp.fd, old); code != 0) {
            return failAndClean(
                SaveError::WriteFailed,
                ErrnoText("cannot give the new file the permissions of " + Quoted(target), code),
                code);
        }
    }
    if (::fsync(temp.fd) != 0) {
        const int code = errno;
        return failAndClean(SaveError::MarkerFailed,
                            ErrnoText("cannot flush the saved photo", code), code);
    }
    if (::close(temp.fd) != 0) {
        const int code = errno;
        fs::remove(temp.path, ec);
        return fail(SaveError::MarkerFailed, ErrnoText("cannot close the saved photo", code), code);
    }

    fs::rename(temp.path, target, ec);
    if (ec) {
        const std::string error = "cannot write " + Quoted(target) + ": " + ec.message();
        const int code = ec.value();
        fs::remove(temp.path, ec);
        return fail(SaveError::WriteFailed, error, code);
    }

    result.ok = true;
    result.imageBytes = image.size();
    return result;
}

}  // namespace quorvel
