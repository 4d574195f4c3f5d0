#include "cli/output/DescriptorStream.h"

#include <unistd.h>

#include <cerrno>

namespace quorvel::cli {

DescriptorStream::DescriptorStream(int fd) : std::ostream(nullptr), m_buffer(fd) {
    rdbuf(&m_buffer);
    setf(std::ios::unitbuf);
}

DescriptorStream::Buffer::Buffer(int fd) : m_fd(fd) { setp(m_bytes, m_bytes + sizeof(m_bytes)); }

bool DescriptorStream::Buffer::Drain() {
    const char* next = pbase();
    while (next < pptr()) {
        const ssize_t written = ::write(m_fd, next, static_cast<std::size_t>(pptr() - next));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
    }
    setp(m_bytes, m_bytes + sizeof(m_bytes));
    return true;
}

DescriptorStream::Buffer::int_type DescriptorStream::Buffer::overflow(int_type c) {
    if (!Drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int DescriptorStream::Buffer::sync() { return Drain() ? 0 : -1; }

}  // namespace quorvel::cli
