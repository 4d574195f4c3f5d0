#include "core/log/VerdictLine.h"

#include <iconv.h>

#include <cerrno>

namespace quorvel {

std::wstring FileNameText(const std::filesystem::path& fileName) {
    const std::string& bytes = fileName.native();
    std::wstring text;
    iconv_t cd = iconv_open("WCHAR_T", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        wchar_t buffer[256];
        char* out = reinterpret_cast<char*>(buffer);
        std::size_t outLeft = sizeof(buffer);
        const std::size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        text.append(buffer, (sizeof(buffer) - outLeft) / sizeof(wchar_t));
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // An invalid or cut-off sequence: replace one byte and go on after it.
        text += L'\uFFFD';
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return text;
}

void WriteVerdictLine(ActivityLog& log, const std::filesystem::path& fileName, Verdict verdict) {
    const std::wstring_view text = VerdictLogText(verdict);
    if (text.empty()) return;
    log.Write(L"%ls%ls\r\n", FileNameText(fileName).c_str(), std::wstring(text).c_str());
}

void WriteStartupLine(ActivityLog& log) { log.Write(L"%ls\r\n", L"系统启动"); }

}  // namespace quorvel
