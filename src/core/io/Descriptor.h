#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/common/Result.h"

namespace quorvel {

// A file descriptor that closes itself; moving hands it over.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept;
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

// Up to `size` bytes at `offset`, fewer only at the end of the file. A
// failed read is NotReadable: `what` with the system's reason, and `path`.
Result<std::string> ReadUpTo(int fd, std::uint64_t offset, std::size_t size,
                             const std::string& what, const std::filesystem::path& path = {});

}  // namespace quorvel
