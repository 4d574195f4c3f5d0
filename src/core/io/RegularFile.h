#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/common/Result.h"
#include "core/io/Descriptor.h"

namespace quorvel {

// A regular file opened for reading. It is opened once, without blocking (a
// FIFO or device in its place cannot hang the reader), and checked with
// fstat on that descriptor, so the file read is the file checked.
class RegularFile {
public:
    // NotFound, IsFolder, NotAFile (device, FIFO, socket) or NotReadable.
    static Result<RegularFile> Open(const std::filesystem::path& path);

    RegularFile(RegularFile&& other) noexcept = default;
    RegularFile& operator=(RegularFile&& other) noexcept = default;

    // The length from the same fstat.
    std::uintmax_t length() const { return static_cast<std::uintmax_t>(m_status.st_size); }
    const struct stat& status() const { return m_status; }
    int descriptor() const { return m_fd.get(); }
    const std::filesystem::path& path() const { return m_path; }

    // Every byte, read from the descriptor; TooLarge for a file longer than
    // maxBytes, which is not read at all.
    Result<std::string> ReadAll(std::uintmax_t maxBytes) const;

    // Up to `size` bytes at `offset`, fewer only at the end of the file.
    Result<std::string> ReadAt(std::uintmax_t offset, std::size_t size) const;

    // Takes a shared lock (flock) without waiting, held while the object
    // lives: Refused while another process holds the exclusive one (a run
    // still appending to a results file).
    Result<void> LockShared() const;

    // A name of this very file ("/proc/self/fd/N") for a library that opens
    // files by name only; the path it was opened by where /proc is missing.
    std::string DescriptorPath() const;

private:
    RegularFile() = default;

    std::filesystem::path m_path;
    Descriptor m_fd;
    struct stat m_status {};
};

// A file read once from its start to its end, in pieces: a regular file, or
// a pipe or device (a shell's process substitution), read as it comes.
class SequentialFile {
public:
    // NotFound, IsFolder or NotReadable.
    static Result<SequentialFile> Open(const std::filesystem::path& path);

    SequentialFile(SequentialFile&& other) noexcept = default;
    SequentialFile& operator=(SequentialFile&& other) noexcept = default;

    // Reads the next bytes into `buffer`: how many, 0 at the end.
    Result<std::size_t> Read(char* buffer, std::size_t size);

private:
    SequentialFile() = default;

    std::filesystem::path m_path;
    Descriptor m_fd;
};

}  // namespace quorvel
