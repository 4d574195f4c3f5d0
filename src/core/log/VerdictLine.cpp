#include "core/log/VerdictLine.h"

#include "core/text/Encoding.h"

namespace quorvel {

void WriteVerdictLine(ActivityLog& log, const std::filesystem::path& fileName, Verdict verdict) {
    const std::string_view text = VerdictLogText(verdict);
    if (text.empty()) return;
    log.Write(FileNameText(fileName) + std::string(text) + "\r\n");
}

void WriteStartupLine(ActivityLog& log) { log.Write("系统启动\r\n"); }

}  // namespace quorvel
