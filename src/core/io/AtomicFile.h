#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string_view>

#include "core/common/ErrorText.h"
#include "core/common/Result.h"
#include "core/io/Descriptor.h"

namespace quorvel {

// The temporary files being written, so that a signal handler can remove
// them when the process is interrupted (SIGINT, SIGTERM). A front end that
// wants this keeps one, hands it to its writers and calls RemoveAll from its
// handler; writers without one leave a file behind on such an interruption.
class TemporaryFiles {
public:
    static constexpr std::size_t kSlots = 64;        // files written at the same time
    static constexpr std::size_t kNameBytes = 4096;  // PATH_MAX

    // Records a name (relative to the folder `folderFd`, or to the working
    // directory); returns its slot, or -1 when the name is too long or every
    // slot is taken (the file is then not removed on a signal).
    int Add(const char* name, int folderFd = AT_FDCWD) noexcept;
    // Forgets the name of a slot Add returned (nothing for -1).
    void Remove(int slot) noexcept;
    // Removes every recorded file. Async-signal-safe: only atomics and unlink.
    void RemoveAll() noexcept;

private:
    enum State : int { kFree, kFilling, kLive };
    struct Slot {
        std::atomic<int> state{kFree};
        int folderFd = AT_FDCWD;
        char name[kNameBytes] = {};
    };
    std::array<Slot, kSlots> m_slots;
};

// A folder opened once, as a descriptor: files written in it through
// AtomicFile::BeginIn stay in that folder whatever later becomes of its path
// (renamed, replaced by a link).
class OpenFolder {
public:
    // Opens the folder, creating it (and its parents) first with `create`.
    // FolderNotWritable when the process may not create files in it.
    static Result<OpenFolder> Open(const std::filesystem::path& path, bool create);

    OpenFolder(OpenFolder&& other) noexcept = default;
    OpenFolder& operator=(OpenFolder&& other) noexcept = default;

    int descriptor() const { return m_fd.get(); }
    const std::filesystem::path& path() const { return m_path; }  // as given, for messages

private:
    OpenFolder() = default;
    std::filesystem::path m_path;
    Descriptor m_fd;
};

// A file that appears complete or not at all. It is written under a short
// temporary name (".quorvel-" with eight hex digits and the target's
// extension) in the target's folder, every write checked, then flushed and
// renamed over the target; abandoned or destroyed uncommitted, it is removed
// and the target stays as it was.
//
// A destination that is a symbolic link stays a link: the file it points to
// (following a chain, created if it does not exist yet) is the target. A
// replaced file keeps its permission bits, and its owner and group where the
// process may set them. A device, FIFO, socket or folder is never replaced;
// a writable file in a folder that cannot be written is refused rather than
// overwritten in place.
class AtomicFile {
public:
    // Checks the target and creates the temporary file beside it. With
    // `temporaries`, the temporary file is recorded there while it exists.
    static Result<AtomicFile> Begin(const std::filesystem::path& destination,
                                    TemporaryFiles* temporaries = nullptr);
    // The same for the file `name` in an open folder: every step (the check,
    // the temporary file, the rename) is made relative to the folder's
    // descriptor. The folder must stay open until the file is committed.
    static Result<AtomicFile> BeginIn(const OpenFolder& folder, const std::filesystem::path& name,
                                      TemporaryFiles* temporaries = nullptr);

    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    // Appends bytes. A write that stops short (disk full) is Incomplete.
    Result<void> Write(const void* data, std::size_t size);
    Result<void> Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }

    // Gives the file the replaced file's owner and mode, flushes, closes and
    // renames it over the target. Nothing is left behind when it fails.
    Result<void> Commit();

    // Closes and removes the temporary file; the target is untouched.
    void Abandon();

    // The file that receives the content: the destination, or the file its
    // link points to.
    const std::filesystem::path& target() const { return m_target; }
    // The temporary file while it is open.
    const std::filesystem::path& temporary() const { return m_temporary; }
    std::size_t bytesWritten() const { return m_written; }

private:
    AtomicFile() = default;

    static Result<AtomicFile> BeginAt(int folderFd, const std::filesystem::path& shownFolder,
                                      const std::filesystem::path& name,
                                      TemporaryFiles* temporaries);

    std::filesystem::path m_target;     // as shown: the folder's path and the name
    std::filesystem::path m_targetAt;   // the name the calls use, relative to m_folderFd
    std::filesystem::path m_temporary;  // relative to m_folderFd
    int m_folderFd = AT_FDCWD;          // or the open folder's
    int m_fd = -1;
    bool m_replacing = false;
    struct stat m_old {};
    std::size_t m_written = 0;
    TemporaryFiles* m_temporaries = nullptr;
    int m_slot = -1;

    void Forget();
};

// Writes the whole content at once through an AtomicFile; returns the target.
Result<std::filesystem::path> WriteFileAtomically(const std::filesystem::path& destination,
                                                  std::string_view content,
                                                  TemporaryFiles* temporaries = nullptr);

// Makes `link` a symbolic link to `pointsTo`: the link is made under a
// temporary name beside it and renamed over whatever has that name, so the
// name holds the old entry or the new link, never nothing. WriteFailed when
// no link can be made there (a file system without links, a folder that
// cannot be written); NotWritable when the old entry cannot be replaced.
Result<void> PlaceSymlink(const std::filesystem::path& pointsTo, const std::filesystem::path& link);

}  // namespace quorvel
