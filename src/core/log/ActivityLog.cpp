#include "core/log/ActivityLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/common/ErrorText.h"
#include "core/text/Encoding.h"

namespace quorvel {

namespace {

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

ActivityLog::ActivityLog(std::filesystem::path fileName)
    : m_fileName(std::move(fileName)), m_clock(LocalNow) {}

ActivityLog::~ActivityLog() {
    if (m_stream != nullptr) std::fclose(m_stream);
}

Result<bool> ActivityLog::Open() {
    if (m_stream != nullptr) return false;
    // Opened without blocking, so that a FIFO in the log's place cannot hang
    // the program, and checked on the descriptor itself. Opening with
    // truncation would erase every earlier entry.
    constexpr int kFlags = O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(m_fileName.c_str(), O_RDWR | kFlags, 0666);
    if (fd < 0) fd = ::open(m_fileName.c_str(), O_WRONLY | kFlags, 0666);
    if (fd < 0) {
        const int code = errno;
        return Fail(ErrorKind::WriteFailed, ErrnoText("cannot open " + Quoted(m_fileName), code),
                    code, m_fileName);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return Fail(ErrorKind::NotAFile, Quoted(m_fileName) + " is not a regular file", 0,
                    m_fileName);
    }
    m_stream = ::fdopen(fd, "a");
    if (m_stream == nullptr) {
        const int code = errno;
        ::close(fd);
        return Fail(ErrorKind::OutOfMemory, ErrnoText("cannot open " + Quoted(m_fileName), code),
                    code, m_fileName);
    }
    return true;
}

void ActivityLog::SetClock(Clock clock) { m_clock = clock ? std::move(clock) : Clock(LocalNow); }

int ActivityLog::Write(std::string_view message) {
    if (m_stream == nullptr) return 0;

    const std::tm now = m_clock();
    std::lock_guard<std::mutex> guard(m_lock);

    std::fprintf(m_stream, "%04d-%02d-%02d %02d:%02d:%02d\t", now.tm_year + 1900, now.tm_mon + 1,
                 now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);

    Converted converted = Utf8ToGbk(message, kMaxMessageBytes);
    std::string& bytes = converted.bytes;
    if (converted.truncated) {
        // Too long for one entry: cut at a character boundary and still end
        // the entry with its own line end, so the next one starts a new line.
        bytes = Utf8ToGbk(message, kMaxMessageBytes - 2).bytes;
        while (!bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n')) bytes.pop_back();
        bytes += "\r\n";
    }

    std::fwrite(bytes.data(), 1, bytes.size(), m_stream);
    std::fflush(m_stream);
    return static_cast<int>(bytes.size());
}

}  // namespace quorvel
