#include "core/io/ByteSource.h"

#include <algorithm>

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
    m_windowStart = offset;
    Result<std::string> window = m_file->ReadAt(offset, kWindow);
    if (!window) {
        if (!m_failure) m_failure = window.error();
        m_window.clear();
        return;
    }
    m_window = std::move(window).value();
}

}  // namespace quorvel
