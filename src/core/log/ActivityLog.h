#pragma once

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

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

    // Opens the log for appending with reading ("a+", creating it), falling
    // back to appending only ("a") for a log that cannot be read. True only
    // when this call opened it: false when it was already open or both opens
    // failed.
    bool Open();

    bool IsOpen() const { return m_stream != nullptr; }

    // Formats a wide message (printf style, wide strings as %ls), converts it
    // to GBK and writes it after the time stamp. Returns the message bytes
    // written; 0 when no stream is open.
    int Write(const wchar_t* format, ...);

    void SetClock(Clock clock);

    // Largest message, in bytes after conversion, that one entry carries.
    static constexpr std::size_t kMaxMessageBytes = 1024;
    static constexpr std::size_t kMaxMessageChars = 1024;

private:
    std::FILE* m_stream = nullptr;
    std::filesystem::path m_fileName;
    std::mutex m_lock;
    Clock m_clock;
};

// Converts wide text to GBK; a character GBK lacks becomes '?'. Stops before
// the first character that would take the result past maxBytes; sets
// *truncated when it had to stop.
std::string WideToGbk(const std::wstring& text, std::size_t maxBytes, bool* truncated = nullptr);

// Converts wide text to UTF-8.
std::string WideToUtf8(std::wstring_view text);

}  // namespace quorvel
