#include "core/io/ByteSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/common/ErrorText.h"

namespace quorvel {

std::string_view ByteSource::At(std::uint64_t offset, std::size_t count) {
    if (offset >= m_length) return {};
    count = static_cast<std::size_t>(std::min<std::uint64_t>({count, kWindow, m_length - offset}));
    if (m_file == nullptr) return m_memory.substr(static_cast<std::size_t>(offset), count);
    if (offset < m_windowStart || offset + count > m_windowStart + m_window.size()) Fill(offset);
    const std::string_view window(m_window);
    const std::size_t from = static_cast<std::size_t>(offset - m_windowStart);
    return window.substr(std::min(from, window.size()), count);
}

std::string_view ByteSource::From(std::uint64_t offset) {
    if (offset >= m_length) return {};
    if (m_file == nullptr) return m_memory.substr(static_cast<std::size_t>(offset));
    if (offset < m_windowStart || offset >= m_windowStart + m_window.size()) Fill(offset);
    const std::string_view window(m_window);
    const std::size_t from = static_cast<std::size_t>(offset - m_windowStart);
    return window.substr(std::min(from, window.size()));
}

void ByteSource::Fill(std::uint64_t offset) {
    m_window.resize(kWindow);
    m_windowStart = offset;
    std::size_t done = 0;
    while (done < kWindow) {
        const ssize_t got = ::pread(m_file->descriptor(), m_window.data() + done, kWindow - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int code = errno;
            if (!m_failure) {
                m_failure =
                    Fail(ErrorKind::NotReadable, ErrnoText("cannot read the file", code), code);
            }
            break;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    m_window.resize(done);
}

}  // namespace quorvel
