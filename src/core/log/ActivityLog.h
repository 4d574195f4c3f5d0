#pragma once

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "core/common/Result.h"

namespace quorvel {

inline const std::filesystem::path kLogFileName = "Test.log";

// The activity log "Test.log": one line per event, a local time stamp, a tab
// and the message in GBK.
class ActivityLog {
public:
    // Returns the local time to stamp an entry with; replaceable for tests.
    using Clock = std::function<std::tm()>;

    explicit ActivityLog(std::filesystem::path fileName = kLogFileName);
    ~ActivityLog();

    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // Opens the log for appending (creating it), read and write where it
    // may be read, else write only. Only a regular file is a log: anything
    // else (a FIFO, a device) is reported as NotAFile and not written. The
    // value is true when this call opened it, false when it was open already.
    Result<bool> Open();

    bool IsOpen() const { return m_stream != nullptr; }

    // Converts a UTF-8 message (with its own line end) to GBK and writes it
    // after the time stamp. A message too long for one entry is cut at a
    // character and still ends its line. Returns the message bytes written;
    // 0 when no stream is open.
    int Write(std::string_view message);

    void SetClock(Clock clock);

    // Largest message, in bytes after conversion, that one entry carries.
    static constexpr std::size_t kMaxMessageBytes = 1024;

private:
    std::FILE* m_stream = nullptr;
    std::filesystem::path m_fileName;
    std::mutex m_lock;
    Clock m_clock;
};

}  // namespace quorvel
