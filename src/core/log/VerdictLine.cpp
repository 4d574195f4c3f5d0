#include "core/log/VerdictLine.h"

#include "core/text/Encoding.h"

namespace quorvel {

namespace {

Result<void> Written(const Result<std::size_t>& written) {
    if (!written) return written.error();
    return {};
}

}  // namespace

Result<void> WriteVerdictLine(ActivityLog& log, const std::filesystem::path& fileName,
                              Verdict verdict) {
    const std::string_view text = VerdictLogText(verdict);
    if (text.empty()) return {};
    return Written(log.Write(FileNameText(fileName) + std::string(text) + "\r\n"));
}

Result<void> WriteStartupLine(ActivityLog& log) { return Written(log.Write("系统启动\r\n")); }

}  // namespace quorvel
