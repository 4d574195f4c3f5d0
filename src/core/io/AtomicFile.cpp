#include "core/io/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

// Where a file lies: the name the calls use (relative to a folder's
// descriptor, or to the working directory) and the path shown in messages.
struct Place {
    fs::path at;
    fs::path shown;
};

// Follows a chain of symbolic links to the file they name, which need not
// exist yet.
Result<Place> ResolveLinks(int folderFd, Place place) {
    constexpr int kMaxLinks = 40;  // as the kernel's own limit
    const fs::path destination = place.shown;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat status {};
        if (::fstatat(folderFd, place.at.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(status.st_mode)) {
            return place;
        }
        std::string next(4096, '\0');
        const ssize_t length = ::readlinkat(folderFd, place.at.c_str(), next.data(), next.size());
        if (length < 0 || static_cast<std::size_t>(length) >= next.size()) {
            const int code = length < 0 ? errno : ENAMETOOLONG;
            return Fail(ErrorKind::WriteFailed,
                        ErrnoText("cannot follow the link " + Quoted(destination), code), code);
        }
        next.resize(static_cast<std::size_t>(length));
        const fs::path link(next);
        if (link.is_absolute()) {
            place = {link, link};
        } else {
            place = {place.at.parent_path() / link, place.shown.parent_path() / link};
        }
    }
    return Fail(ErrorKind::WriteFailed,
                ErrnoText("cannot follow the link " + Quoted(destination), ELOOP), ELOOP);
}

constexpr int kTemporaryNameAttempts = 100;

// A short name beside `target` (".quorvel-" with eight hex digits and the
// target's extension), whatever the length of the target's name.
fs::path TemporaryNameBeside(const fs::path& target, std::random_device& rd) {
    char suffix[16];
    std::snprintf(suffix, sizeof(suffix), "%08x", static_cast<unsigned>(rd()));
    fs::path name = target;
    name.replace_filename(".quorvel-" + std::string(suffix) + target.extension().string());
    return name;
}

// Creates a file with a short name beside `target`, keeping the extension:
// the name stays short whatever the length of the target's name. A file that
// is to replace another is created private and given the old file's mode
// once complete. Returns the descriptor, or -1 with errno set.
int CreateTemporaryBeside(int folderFd, const fs::path& target, bool replacing, fs::path& name) {
    std::random_device rd;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        name = TemporaryNameBeside(target, rd);
        const int fd = ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                replacing ? 0600 : 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
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

// Why the target may not be replaced, if it may not.
Result<void> CheckTarget(int folderFd, const Place& place, bool replacing, const struct stat& old) {
    const fs::path& target = place.shown;
    if (!replacing) return {};
    if (S_ISDIR(old.st_mode)) {
        return Fail(ErrorKind::IsFolder, Quoted(target) + " is a folder", EISDIR);
    }
    if (!S_ISREG(old.st_mode)) {
        return Fail(ErrorKind::NotAFile, Quoted(target) + " is a device, pipe or socket");
    }
    if (::faccessat(folderFd, place.at.c_str(), W_OK, 0) != 0) {
        const int code = errno;
        return Fail(ErrorKind::NotWritable, ErrnoText("cannot replace " + Quoted(target), code),
                    code);
    }
    return {};
}

Error CreateError(const fs::path& target, bool replacing, int code) {
    const fs::path folder = target.parent_path().empty() ? "." : target.parent_path();
    if (replacing && (code == EACCES || code == EPERM || code == EROFS)) {
        return Fail(
            ErrorKind::FolderNotWritable,
            ErrnoText("cannot replace " + Quoted(target) + ": the folder " + Quoted(folder) +
                          " cannot be written, and the file is written as a new "
                          "file there that then takes the old one's place",
                      code),
            code);
    }
    return Fail(ErrorKind::WriteFailed,
                ErrnoText("cannot write in the folder " + Quoted(folder), code), code);
}

}  // namespace

namespace {

Error About(Error error, const fs::path& path) {
    error.path = path;
    return error;
}

}  // namespace

int TemporaryFiles::Add(const char* name, int folderFd) noexcept {
    const std::size_t length = std::strlen(name);
    if (length >= kNameBytes) return -1;
    for (std::size_t i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (m_slots[i].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(m_slots[i].name, name, length + 1);
            m_slots[i].folderFd = folderFd;
            m_slots[i].state.store(kLive);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TemporaryFiles::Remove(int slot) noexcept {
    if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots) m_slots[slot].state.store(kFree);
}

void TemporaryFiles::RemoveAll() noexcept {
    for (Slot& slot : m_slots) {
        if (slot.state.load() == kLive) ::unlinkat(slot.folderFd, slot.name, 0);
    }
}

Result<AtomicFile> AtomicFile::Begin(const fs::path& destination, TemporaryFiles* temporaries) {
    return BeginAt(AT_FDCWD, {}, destination, temporaries);
}

Result<AtomicFile> AtomicFile::BeginIn(const OpenFolder& folder, const fs::path& name,
                                       TemporaryFiles* temporaries) {
    return BeginAt(folder.descriptor(), folder.path(), name, temporaries);
}

Result<AtomicFile> AtomicFile::BeginAt(int folderFd, const fs::path& shownFolder,
                                       const fs::path& name, TemporaryFiles* temporaries) {
    const Place given{name, shownFolder.empty() ? name : shownFolder / name};
    Result<Place> place = ResolveLinks(folderFd, given);
    if (!place) return About(place.error(), given.shown);

    AtomicFile file;
    file.m_folderFd = folderFd;
    file.m_target = place->shown;
    file.m_targetAt = place->at;
    file.m_replacing = ::fstatat(folderFd, place->at.c_str(), &file.m_old, 0) == 0;
    if (Result<void> allowed = CheckTarget(folderFd, *place, file.m_replacing, file.m_old);
        !allowed) {
        return About(allowed.error(), file.m_target);
    }
    file.m_fd =
        CreateTemporaryBeside(folderFd, file.m_targetAt, file.m_replacing, file.m_temporary);
    if (file.m_fd < 0) {
        const int code = errno;
        file.m_temporary.clear();
        return About(CreateError(file.m_target, file.m_replacing, code), file.m_target);
    }
    file.m_temporaries = temporaries;
    if (temporaries != nullptr) {
        file.m_slot = temporaries->Add(file.m_temporary.c_str(), folderFd);
    }
    return file;
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_target(std::move(other.m_target)),
      m_targetAt(std::move(other.m_targetAt)),
      m_temporary(std::move(other.m_temporary)),
      m_folderFd(other.m_folderFd),
      m_fd(other.m_fd),
      m_replacing(other.m_replacing),
      m_old(other.m_old),
      m_written(other.m_written),
      m_temporaries(other.m_temporaries),
      m_slot(other.m_slot) {
    other.m_fd = -1;
    other.m_temporary.clear();
    other.m_slot = -1;
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        Abandon();
        m_target = std::move(other.m_target);
        m_targetAt = std::move(other.m_targetAt);
        m_temporary = std::move(other.m_temporary);
        m_folderFd = other.m_folderFd;
        m_fd = other.m_fd;
        m_replacing = other.m_replacing;
        m_old = other.m_old;
        m_written = other.m_written;
        m_temporaries = other.m_temporaries;
        m_slot = other.m_slot;
        other.m_fd = -1;
        other.m_temporary.clear();
        other.m_slot = -1;
    }
    return *this;
}

AtomicFile::~AtomicFile() { Abandon(); }

void AtomicFile::Abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) ::unlinkat(m_folderFd, m_temporary.c_str(), 0);
    m_temporary.clear();
    Forget();
}

void AtomicFile::Forget() {
    if (m_temporaries != nullptr) m_temporaries->Remove(m_slot);
    m_slot = -1;
}

Result<void> AtomicFile::Write(const void* data, std::size_t size) {
    if (m_fd < 0) return Fail(ErrorKind::WriteFailed, "the file is no longer open", EBADF);
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        const int code = written < 0 ? errno : ENOSPC;  // a write of 0 bytes: nothing fits
        if (written <= 0) {
            Abandon();
            if (code == ENOSPC || code == EDQUOT) {
                return Fail(ErrorKind::Incomplete,
                            Quoted(m_target) + " was not written completely (is the disk full?)",
                            code, m_target);
            }
            return Fail(ErrorKind::WriteFailed, ErrnoText("cannot write " + Quoted(m_target), code),
                        code, m_target);
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
        m_written += static_cast<std::size_t>(written);
    }
    return {};
}

Result<void> AtomicFile::Commit() {
    if (m_fd < 0) return Fail(ErrorKind::WriteFailed, "the file is no longer open", EBADF);
    auto failed = [this](ErrorKind kind, const std::string& what, int code) {
        Abandon();
        return Fail(kind, ErrnoText(what, code), code, m_target);
    };
    if (m_replacing) {
        if (const int code = TakeOwnerAndMode(m_fd, m_old); code != 0) {
            return failed(ErrorKind::WriteFailed,
                          "cannot give the new file the permissions of " + Quoted(m_target), code);
        }
    }
    if (::fsync(m_fd) != 0) {
        return failed(ErrorKind::Incomplete, "cannot flush " + Quoted(m_target), errno);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        return failed(ErrorKind::Incomplete, "cannot close " + Quoted(m_target), errno);
    }
    if (::renameat(m_folderFd, m_temporary.c_str(), m_folderFd, m_targetAt.c_str()) != 0) {
        return failed(ErrorKind::WriteFailed, "cannot write " + Quoted(m_target), errno);
    }
    m_temporary.clear();
    Forget();
    return {};
}

Result<OpenFolder> OpenFolder::Open(const fs::path& path, bool create) {
    OpenFolder folder;
    folder.m_path = path;
    std::error_code ec;
    if (create && !fs::is_directory(path, ec)) {
        fs::create_directories(path, ec);
        if (ec) {
            return Fail(ErrorKind::WriteFailed,
                        ErrnoText("cannot create the folder " + Quoted(path), ec.value()),
                        ec.value(), path);
        }
    }
    folder.m_fd = Descriptor(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.m_fd.get() < 0) {
        const int code = errno;
        return Fail(code == ENOENT ? ErrorKind::NotFound : ErrorKind::NotReadable,
                    ErrnoText("cannot open the folder " + Quoted(path), code), code, path);
    }
    if (::faccessat(folder.m_fd.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        const int code = errno;
        return Fail(ErrorKind::FolderNotWritable,
                    ErrnoText("cannot write in the folder " + Quoted(path), code), code, path);
    }
    return folder;
}

Result<fs::path> WriteFileAtomically(const fs::path& destination, std::string_view content,
                                     TemporaryFiles* temporaries) {
    Result<AtomicFile> file = AtomicFile::Begin(destination, temporaries);
    if (!file) return file.error();
    if (Result<void> written = file->Write(content); !written) return written.error();
    if (Result<void> committed = file->Commit(); !committed) return committed.error();
    return file->target();
}

Result<void> PlaceSymlink(const fs::path& pointsTo, const fs::path& link) {
    std::random_device rd;
    fs::path temporary;
    int code = EEXIST;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && code == EEXIST; ++attempt) {
        temporary = TemporaryNameBeside(link, rd);
        code = ::symlink(pointsTo.c_str(), temporary.c_str()) == 0 ? 0 : errno;
    }
    if (code != 0) {
        const fs::path folder = link.parent_path().empty() ? "." : link.parent_path();
        return Fail(ErrorKind::WriteFailed,
                    ErrnoText("cannot make a link in the folder " + Quoted(folder), code), code,
                    link);
    }
    if (::rename(temporary.c_str(), link.c_str()) != 0) {
        code = errno;
        ::unlink(temporary.c_str());
        return Fail(ErrorKind::NotWritable, ErrnoText("cannot replace " + Quoted(link), code), code,
                    link);
    }
    return {};
}

}  // namespace quorvel
