#pragma once

#include <filesystem>
#include <string>

#include "core/audit/Verdict.h"
#include "core/log/ActivityLog.h"

namespace quorvel {

// A file name as wide text for the log: UTF-8 is decoded, and every byte that
// is not part of a UTF-8 character becomes U+FFFD (written as "?" in GBK).
std::wstring FileNameText(const std::filesystem::path& fileName);

// Writes the verdict line: the file name, the verdict text and a line end.
// Nothing is written for Initial.
void WriteVerdictLine(ActivityLog& log, const std::filesystem::path& fileName, Verdict verdict);

// Writes the start-up line "系统启动".
void WriteStartupLine(ActivityLog& log);

}  // namespace quorvel
