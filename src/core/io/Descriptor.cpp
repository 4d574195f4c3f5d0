#include "core/io/Descriptor.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/common/ErrorText.h"

namespace quorvel {

Descriptor::Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

Descriptor::~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
}

Result<std::string> ReadUpTo(int fd, std::uint64_t offset, std::size_t size,
                             const std::string& what, const std::filesystem::path& path) {
    std::string bytes(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int code = errno;
            return Fail(ErrorKind::NotReadable, ErrnoText(what, code), code, path);
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace quorvel
