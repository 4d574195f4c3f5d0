#include "core/log/ActivityLog.h"

#include <iconv.h>

#include <cerrno>
#include <cstdarg>
#include <cwchar>

namespace quorvel {

namespace {

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// Converts wide text to `encoding`; a character it lacks becomes '?'.
std::string WideTo(const char* encoding, std::wstring_view text, std::size_t maxBytes,
                   bool* truncated) {
    if (truncated != nullptr) *truncated = false;
    std::string out;
    iconv_t cd = iconv_open(encoding, "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;

    // One character at a time, so that an unconvertible character can be
    // replaced and the result is cut only at a character boundary.
    for (wchar_t ch : text) {
        char encoded[8];
        char* in = reinterpret_cast<char*>(&ch);
        std::size_t inLeft = sizeof(ch);
        char* outPtr = encoded;
        std::size_t outLeft = sizeof(encoded);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        std::size_t length = sizeof(encoded) - outLeft;
        if (rc == static_cast<std::size_t>(-1)) {
            encoded[0] = '?';
            length = 1;
        }
        if (out.size() + length > maxBytes) {
            if (truncated != nullptr) *truncated = true;
            break;
        }
        out.append(encoded, length);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string WideToGbk(const std::wstring& text, std::size_t maxBytes, bool* truncated) {
    return WideTo("GBK", text, maxBytes, truncated);
}

std::string WideToUtf8(std::wstring_view text) {
    return WideTo("UTF-8", text, std::string::npos, nullptr);
}

ActivityLog::ActivityLog(std::filesystem::path fileName)
    : m_fileName(std::move(fileName)), m_clock(LocalNow) {}

ActivityLog::~ActivityLog() {
    if (m_stream != nullptr) std::fclose(m_stream);
}

bool ActivityLog::Open() {
    if (m_stream != nullptr) return false;
    m_stream = std::fopen(m_fileName.c_str(), "a+");
    // A log that may be written but not read: append only. Opening it with
    // "w" would erase every earlier entry.
    if (m_stream == nullptr) m_stream = std::fopen(m_fileName.c_str(), "a");
    return m_stream != nullptr;
}

void ActivityLog::SetClock(Clock clock) { m_clock = clock ? std::move(clock) : Clock(LocalNow); }

int ActivityLog::Write(const wchar_t* format, ...) {
    if (m_stream == nullptr) return 0;

    const std::tm now = m_clock();
    std::lock_guard<std::mutex> guard(m_lock);

    std::fprintf(m_stream, "%04d-%02d-%02d %02d:%02d:%02d\t", now.tm_year + 1900, now.tm_mon + 1,
                 now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);

    wchar_t buffer[kMaxMessageChars];
    va_list args;
    va_start(args, format);
    int formatted = std::vswprintf(buffer, kMaxMessageChars, format, args);
    va_end(args);
    bool cut = formatted < 0;  // longer than the buffer: keep what fitted
    buffer[kMaxMessageChars - 1] = L'\0';
    std::wstring message(buffer, cut ? std::wcslen(buffer) : static_cast<std::size_t>(formatted));

    bool truncated = false;
    std::string bytes = WideToGbk(message, kMaxMessageBytes, &truncated);
    if (cut || truncated) {
        // Too long for one entry: cut at a character boundary and still end
        // the entry with its own line end, so the next one starts a new line.
        bytes = WideToGbk(message, kMaxMessageBytes - 2);
        while (!bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n')) bytes.pop_back();
        bytes += "\r\n";
    }

    std::fwrite(bytes.data(), 1, bytes.size(), m_stream);
    std::fflush(m_stream);
    return static_cast<int>(bytes.size());
}

}  // namespace quorvel
