#include "core/io/ScratchFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <utility>

#include "core/common/ErrorText.h"

namespace quorvel {

namespace {

Error SystemFailure(ErrorKind kind, const std::string& what, int code,
                    const std::filesystem::path& path = {}) {
    return Fail(kind, ErrnoText(what, code), code, path);
}

// Unnamed where the file system allows it, else named and removed at once.
int CreateUnlinked(int folderFd) {
    const int fd = ::openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR)) return fd;
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = ".quorvel-spool-" + std::to_string(rd());
        const int named =
            ::openat(folderFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (named >= 0) {
            ::unlinkat(folderFd, name.c_str(), 0);
            return named;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

}  // namespace

Result<SpoolFile> SpoolFile::CreateAt(int folderFd, const std::filesystem::path& shown) {
    Descriptor fd(CreateUnlinked(folderFd));
    if (fd.get() < 0) {
        return SystemFailure(ErrorKind::WriteFailed,
                             "cannot create a spool file in " + Quoted(shown), errno, shown);
    }
    return SpoolFile(std::move(fd));
}

Result<SpoolFile> SpoolFile::CreateIn(const OpenFolder& folder) {
    return CreateAt(folder.descriptor(), folder.path());
}

Result<SpoolFile> SpoolFile::CreateIn(const std::filesystem::path& folder) {
    const Descriptor opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (opened.get() < 0) {
        return SystemFailure(ErrorKind::WriteFailed, "cannot open the folder " + Quoted(folder),
                             errno, folder);
    }
    return CreateAt(opened.get(), folder);
}

Result<void> SpoolFile::WriteAt(std::string_view bytes, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd.get(), bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            return SystemFailure(ErrorKind::Incomplete, "cannot write the spool file",
                                 n < 0 ? errno : ENOSPC);
        }
        done += static_cast<std::size_t>(n);
    }
    return {};
}

Result<std::string> SpoolFile::ReadAt(std::uint64_t offset, std::size_t size) const {
    Result<std::string> bytes = ReadUpTo(m_fd.get(), offset, size, "cannot read the spool file");
    // The spool holds every byte written to it: a short read is a failure.
    if (bytes && bytes->size() < size) {
        return SystemFailure(ErrorKind::NotReadable, "cannot read the spool file", EIO);
    }
    return bytes;
}

Result<AppendFile> AppendFile::Open(const std::filesystem::path& path, Reading reading) {
    constexpr int kFlags = O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC;
    Descriptor fd(::open(path.c_str(), O_RDWR | kFlags, 0666));
    if (fd.get() < 0 && reading == Reading::IfAllowed) {
        fd = Descriptor(::open(path.c_str(), O_WRONLY | kFlags, 0666));
    }
    if (fd.get() < 0) {
        return SystemFailure(ErrorKind::NotReadable, "cannot open " + Quoted(path), errno, path);
    }
    return AppendFile(std::move(fd));
}

Result<std::uintmax_t> AppendFile::Length() const {
    struct stat status {};
    if (::fstat(m_fd.get(), &status) != 0) {
        return SystemFailure(ErrorKind::NotReadable, "cannot read the file's status", errno);
    }
    if (!S_ISREG(status.st_mode)) return Fail(ErrorKind::NotAFile, "not a regular file");
    return static_cast<std::uintmax_t>(status.st_size);
}

Result<void> AppendFile::Lock() {
    if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) == 0) return {};
    const int code = errno;
    if (code == EWOULDBLOCK) {
        return SystemFailure(ErrorKind::Refused, "another process holds the file", code);
    }
    return SystemFailure(ErrorKind::NotReadable, "cannot lock the file", code);
}

Result<std::string> AppendFile::ReadAt(std::uint64_t offset, std::size_t size) const {
    return ReadUpTo(m_fd.get(), offset, size, "cannot read the file");
}

Result<void> AppendFile::CutTo(std::uint64_t length) {
    if (::ftruncate(m_fd.get(), static_cast<off_t>(length)) == 0) return {};
    return SystemFailure(ErrorKind::WriteFailed, "cannot cut the file", errno);
}

Result<void> AppendFile::Append(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            return SystemFailure(ErrorKind::WriteFailed, "cannot append to the file",
                                 written < 0 ? errno : ENOSPC);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

namespace {

// Whether the name in the folder is still the very file open as `fd`.
bool StillNamed(int folderFd, const std::filesystem::path& name, int fd) {
    struct stat named {};
    struct stat open {};
    return ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd, &open) == 0 && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

}  // namespace

Result<NameLock> NameLock::Take(const OpenFolder& folder, const std::filesystem::path& name,
                                TemporaryFiles* temporaries) {
    Descriptor folderFd(::fcntl(folder.descriptor(), F_DUPFD_CLOEXEC, 3));
    if (folderFd.get() < 0) return SystemFailure(ErrorKind::NotReadable, "cannot lock", errno);
    // A holder removes the file as it lets go: a lock taken on a file removed
    // meanwhile guards nothing, so the name is opened again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        Descriptor file(::openat(folderFd.get(), name.c_str(),
                                 O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
        if (file.get() < 0) {
            return SystemFailure(ErrorKind::WriteFailed, "cannot create the lock file", errno,
                                 folder.path() / name);
        }
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            return SystemFailure(code == EWOULDBLOCK ? ErrorKind::Refused : ErrorKind::NotReadable,
                                 "cannot lock", code, folder.path() / name);
        }
        if (StillNamed(folderFd.get(), name, file.get())) {
            NameLock lock(std::move(folderFd), std::move(file), name);
            if (temporaries != nullptr) {
                lock.m_temporaries = temporaries;
                lock.m_slot = temporaries->Add(name.c_str(), lock.m_folder.get());
            }
            return lock;
        }
    }
    return SystemFailure(ErrorKind::Refused, "cannot lock", EAGAIN, folder.path() / name);
}

NameLock::NameLock(NameLock&& other) noexcept
    : m_folder(std::move(other.m_folder)),
      m_file(std::move(other.m_file)),
      m_name(std::move(other.m_name)),
      m_temporaries(std::exchange(other.m_temporaries, nullptr)),
      m_slot(std::exchange(other.m_slot, -1)) {}

NameLock& NameLock::operator=(NameLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_folder = std::move(other.m_folder);
        m_file = std::move(other.m_file);
        m_name = std::move(other.m_name);
        m_temporaries = std::exchange(other.m_temporaries, nullptr);
        m_slot = std::exchange(other.m_slot, -1);
    }
    return *this;
}

NameLock::~NameLock() { Release(); }

void NameLock::Release() {
    if (m_file.get() < 0) return;
    if (m_temporaries != nullptr) m_temporaries->Remove(m_slot);
    // Removed while still held, so that no other process locks it in between.
    if (StillNamed(m_folder.get(), m_name, m_file.get())) {
        ::unlinkat(m_folder.get(), m_name.c_str(), 0);
    }
    m_file = Descriptor();
}

}  // namespace quorvel
