#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/Result.h"
#include "core/io/RegularFile.h"

namespace quorvel {

// Bytes at any offset, from memory or from an open file through a window
// that is refilled with pread, so a walk over many small segments reads the
// file in large blocks and never holds more than the window.
class ByteSource {
public:
    explicit ByteSource(std::string_view bytes) : m_memory(bytes), m_length(bytes.size()) {}
    explicit ByteSource(const RegularFile& file) : m_file(&file), m_length(file.length()) {}

    std::uint64_t length() const { return m_length; }
    // The first read that failed (NotReadable); the source then gives fewer bytes.
    const std::optional<Error>& failure() const { return m_failure; }

    // Up to `count` bytes (at most kWindow) at `offset`; fewer at the end.
    std::string_view At(std::uint64_t offset, std::size_t count);
    // The bytes from `offset` on that are at hand without another read (the
    // rest of the window, or of the memory); empty only at the end. A scan
    // through a file reads each byte once this way.
    std::string_view From(std::uint64_t offset);

    static constexpr std::size_t kWindow = 65536;

private:
    void Fill(std::uint64_t offset);

    std::string_view m_memory;
    const RegularFile* m_file = nullptr;
    std::uint64_t m_length = 0;
    std::string m_window;
    std::uint64_t m_windowStart = 0;
    std::optional<Error> m_failure;
};

// Big- and little-endian numbers of bytes that are known to be there.
inline std::uint32_t Byte(std::string_view b, std::size_t i) {
    return static_cast<std::uint8_t>(b[i]);
}
inline std::uint32_t Big16(std::string_view b, std::size_t i) {
    return Byte(b, i) << 8 | Byte(b, i + 1);
}
inline std::uint32_t Little16(std::string_view b, std::size_t i) {
    return Byte(b, i + 1) << 8 | Byte(b, i);
}
inline std::uint32_t Big32(std::string_view b, std::size_t i) {
    return Big16(b, i) << 16 | Big16(b, i + 2);
}
inline std::uint32_t Little32(std::string_view b, std::size_t i) {
    return Little16(b, i + 2) << 16 | Little16(b, i);
}

}  // namespace quorvel
