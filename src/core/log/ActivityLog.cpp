#include "core/log/ActivityLog.h"

#include <cerrno>
#include <cstdio>

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

// "YYYY-MM-DD hh:mm:ss" and a tab.
std::string Stamp(const std::tm& time) {
    // Room for any int the fields may hold, as the compiler counts it.
    char text[96];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d\t", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

}  // namespace

ActivityLog::ActivityLog(std::filesystem::path fileName)
    : m_fileName(std::move(fileName)), m_clock(LocalNow) {}

Result<bool> ActivityLog::Open() {
    if (m_file) return false;
    Result<AppendFile> opened = AppendFile::Open(m_fileName, AppendFile::Reading::IfAllowed);
    if (!opened) {
        const int code = opened.error().systemError;
        return Fail(ErrorKind::WriteFailed, ErrnoText("cannot open " + Quoted(m_fileName), code),
                    code, m_fileName);
    }
    if (!opened->Length()) {
        return Fail(ErrorKind::NotAFile, Quoted(m_fileName) + " is not a regular file", 0,
                    m_fileName);
    }
    m_file.emplace(std::move(opened).value());
    return true;
}

void ActivityLog::SetClock(Clock clock) { m_clock = clock ? std::move(clock) : Clock(LocalNow); }

Result<std::size_t> ActivityLog::Write(std::string_view message) {
    if (!m_file) return std::size_t{0};

    const std::tm now = m_clock();
    std::lock_guard<std::mutex> guard(m_lock);

    Converted converted = Utf8ToGbk(message, kMaxMessageBytes);
    std::string& bytes = converted.bytes;
    if (converted.truncated) {
        // Too long for one entry: cut at a character boundary and still end
        // the entry with its own line end, so the next one starts a new line.
        bytes = Utf8ToGbk(message, kMaxMessageBytes - 2).bytes;
        while (!bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n')) bytes.pop_back();
        bytes += "\r\n";
    }

    if (Result<void> appended = m_file->Append(Stamp(now) + bytes); !appended) {
        const int code = appended.error().systemError;
        return Fail(ErrorKind::WriteFailed, ErrnoText("cannot write " + Quoted(m_fileName), code),
                    code, m_fileName);
    }
    return bytes.size();
}

}  // namespace quorvel
