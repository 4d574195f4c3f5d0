#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/common/Result.h"
#include "core/io/AtomicFile.h"
#include "core/io/Descriptor.h"

namespace quorvel {

// An unlinked file in a folder, for bytes kept out of memory until they are
// written elsewhere: nothing is left behind, however the process ends. Where
// the file system has no unnamed files, a named one is removed at once.
// Failures carry the system's errno.
class SpoolFile {
public:
    static Result<SpoolFile> CreateIn(const OpenFolder& folder);
    static Result<SpoolFile> CreateIn(const std::filesystem::path& folder);

    // Writes the bytes at `offset`; a write that stops short is Incomplete.
    Result<void> WriteAt(std::string_view bytes, std::uint64_t offset);

    // Reads exactly `size` bytes at `offset`.
    Result<std::string> ReadAt(std::uint64_t offset, std::size_t size) const;

private:
    explicit SpoolFile(Descriptor fd) : m_fd(std::move(fd)) {}
    static Result<SpoolFile> CreateAt(int folderFd, const std::filesystem::path& shown);
    Descriptor m_fd;
};

// A regular file that runs keep adding lines to (a results file, the
// activity log): created when missing, opened without blocking (a FIFO in
// its place cannot hang the program) and never truncated, read anywhere,
// cut short, appended to. Failures carry the system's errno; the caller
// words them.
class AppendFile {
public:
    // Whether the file must be readable too.
    enum class Reading {
        Required,  // read and appended to (a results file)
        IfAllowed  // read and appended to where it may be read, else only appended to
    };

    static Result<AppendFile> Open(const std::filesystem::path& path,
                                   Reading reading = Reading::Required);

    // The file's length; NotAFile when it is not a regular file.
    Result<std::uintmax_t> Length() const;

    // Takes the file's exclusive lock (flock) without waiting, held while
    // the object lives; Refused when another process holds it.
    Result<void> Lock();

    // Up to `size` bytes at `offset` (fewer at the end of the file).
    Result<std::string> ReadAt(std::uint64_t offset, std::size_t size) const;

    // Cuts the file to `length` bytes.
    Result<void> CutTo(std::uint64_t length);

    // Appends the bytes; a write that stops short is WriteFailed (ENOSPC).
    Result<void> Append(std::string_view bytes);

private:
    explicit AppendFile(Descriptor fd) : m_fd(std::move(fd)) {}
    Descriptor m_fd;
};

// A lock on a name in a folder (".r.html.lock" beside the report r.html),
// held while the object lives: two processes cannot hold it at once, and
// the file is removed when the holder lets it go. A file left by a process
// that was killed holds no lock and is taken over.
class NameLock {
public:
    // Creates the file when missing and takes its lock without waiting:
    // Refused when another process holds it. With `temporaries`, a signal
    // that ends the process removes the file too.
    static Result<NameLock> Take(const OpenFolder& folder, const std::filesystem::path& name,
                                 TemporaryFiles* temporaries = nullptr);

    NameLock(NameLock&& other) noexcept;
    NameLock& operator=(NameLock&& other) noexcept;
    NameLock(const NameLock&) = delete;
    NameLock& operator=(const NameLock&) = delete;
    ~NameLock();

private:
    NameLock(Descriptor folder, Descriptor file, std::filesystem::path name)
        : m_folder(std::move(folder)), m_file(std::move(file)), m_name(std::move(name)) {}
    void Release();

    Descriptor m_folder;
    Descriptor m_file;
    std::filesystem::path m_name;
    TemporaryFiles* m_temporaries = nullptr;
    int m_slot = -1;
};

}  // namespace quorvel
