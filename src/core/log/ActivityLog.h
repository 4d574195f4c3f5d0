#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/Result.h"
#include "core/io/ScratchFiles.h"

namespace quorvel {

inline const std::filesystem::path kLogFileName = "Test.log";

// The activity log "Test.log": one line per event, a local time stamp, a tab
// and the message in GBK.
class ActivityLog {
public:
    // Returns the local time to stamp an entry with; replaceable for tests.
    using Clock = std::function<std::tm()>;

    explicit ActivityLog(std::filesystem::path fileName = kLogFileName);

    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // Opens the log for appending (creating it), read and write where it
    // may be read, else write only; earlier entries are never erased. Only a
    // regular file is a log: anything else (a FIFO, a device) is reported as
    // NotAFile and not written. Otherwise WriteFailed with the system's
    // errno. The value is true when this call opened it, false when it was
    // open already.
    Result<bool> Open();

    bool IsOpen() const { return m_file.has_value(); }

    // Converts a UTF-8 message (with its own line end) to GBK and appends it
    // after the time stamp, in one write. A message too long for one entry
    // is cut at a character and still ends its line. Returns the message
    // bytes written; 0 when no log is open. A write that fails or stops
    // short (a full disk) is WriteFailed with the system's errno.
    Result<std::size_t> Write(std::string_view message);

    void SetClock(Clock clock);

    const std::filesystem::path& fileName() const { return m_fileName; }

    // Largest message, in bytes after conversion, that one entry carries.
    static constexpr std::size_t kMaxMessageBytes = 1024;

private:
    std::optional<AppendFile> m_file;
    std::filesystem::path m_fileName;
    std::mutex m_lock;
    Clock m_clock;
};

}  // namespace quorvel
