#include "core/io/RegularFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/common/ErrorText.h"

namespace quorvel {

Result<RegularFile> RegularFile::Open(const std::filesystem::path& path) {
    RegularFile file;
    file.m_path = path;
    file.m_fd = Descriptor(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.m_fd.get() < 0) {
        const int code = errno;
        if (code == ENOENT) return Fail(ErrorKind::NotFound, "no such file", code, path);
        return Fail(ErrorKind::NotReadable, ErrnoText("cannot read " + Quoted(path), code), code,
                    path);
    }
    if (::fstat(file.m_fd.get(), &file.m_status) != 0) {
        const int code = errno;
        return Fail(ErrorKind::NotReadable, ErrnoText("cannot read " + Quoted(path), code), code,
                    path);
    }
    if (S_ISDIR(file.m_status.st_mode)) return Fail(ErrorKind::IsFolder, "it is a folder", 0, path);
    if (!S_ISREG(file.m_status.st_mode)) {
        return Fail(ErrorKind::NotAFile, "not a regular file", 0, path);
    }
    return file;
}

Result<void> RegularFile::LockShared() const {
    if (::flock(m_fd.get(), LOCK_SH | LOCK_NB) == 0) return {};
    const int code = errno;
    return Fail(code == EWOULDBLOCK ? ErrorKind::Refused : ErrorKind::NotReadable,
                ErrnoText("cannot lock " + Quoted(m_path), code), code, m_path);
}

Result<std::string> RegularFile::ReadAll(std::uintmax_t maxBytes) const {
    if (length() > maxBytes) {
        return Fail(ErrorKind::TooLarge,
                    Quoted(m_path) + " is " + std::to_string(length()) +
                        " bytes long, more than the " + std::to_string(maxBytes) + " read",
                    EFBIG, m_path);
    }
    // Read at the length fstat gave; only a file that grew since then is
    // read on, a chunk at a time, within the limit.
    const std::string what = "cannot read " + Quoted(m_path);
    Result<std::string> bytes =
        ReadUpTo(m_fd.get(), 0, static_cast<std::size_t>(length()), what, m_path);
    std::size_t asked = static_cast<std::size_t>(length());
    while (bytes && bytes->size() == asked && bytes->size() < maxBytes) {
        const std::size_t more =
            static_cast<std::size_t>(std::min<std::uintmax_t>(65536, maxBytes - bytes->size()));
        Result<std::string> next = ReadUpTo(m_fd.get(), bytes->size(), more, what, m_path);
        if (!next) return next.error();
        asked = bytes->size() + more;
        bytes->append(*next);
    }
    return bytes;
}

Result<std::string> RegularFile::ReadAt(std::uintmax_t offset, std::size_t size) const {
    return ReadUpTo(m_fd.get(), offset, size, "cannot read " + Quoted(m_path), m_path);
}

std::string RegularFile::DescriptorPath() const {
    // Without /proc (a bare chroot) the name it was opened by is the best left.
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(m_fd.get());
    if (::access(byDescriptor.c_str(), R_OK) != 0) return m_path.string();
    return byDescriptor;
}

Result<SequentialFile> SequentialFile::Open(const std::filesystem::path& path) {
    SequentialFile file;
    file.m_path = path;
    // Blocking: a pipe is read as its writer fills it.
    file.m_fd = Descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.m_fd.get() < 0) {
        const int code = errno;
        if (code == ENOENT) return Fail(ErrorKind::NotFound, "no such file", code, path);
        if (code == EISDIR) return Fail(ErrorKind::IsFolder, "it is a folder", code, path);
        return Fail(ErrorKind::NotReadable, ErrnoText("cannot read " + Quoted(path), code), code,
                    path);
    }
    struct stat status {};
    if (::fstat(file.m_fd.get(), &status) == 0 && S_ISDIR(status.st_mode)) {
        return Fail(ErrorKind::IsFolder, "it is a folder", EISDIR, path);
    }
    return file;
}

Result<std::size_t> SequentialFile::Read(char* buffer, std::size_t size) {
    while (true) {
        const ssize_t got = ::read(m_fd.get(), buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EINTR) continue;
        const int code = errno;
        return Fail(ErrorKind::NotReadable, ErrnoText("cannot read " + Quoted(m_path), code), code,
                    m_path);
    }
}

}  // namespace quorvel
