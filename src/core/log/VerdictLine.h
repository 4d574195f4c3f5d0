#pragma once

#include <filesystem>

#include "core/audit/Verdict.h"
#include "core/log/ActivityLog.h"

namespace quorvel {

// Writes the verdict line: the file name as log text, the verdict text and a
// line end. Nothing is written for Initial.
void WriteVerdictLine(ActivityLog& log, const std::filesystem::path& fileName, Verdict verdict);

// Writes the start-up line "系统启动".
void WriteStartupLine(ActivityLog& log);

}  // namespace quorvel
