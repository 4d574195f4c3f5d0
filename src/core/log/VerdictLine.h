#pragma once

#include <filesystem>

#include "core/audit/Verdict.h"
#include "core/common/Result.h"
#include "core/log/ActivityLog.h"

namespace quorvel {

// Writes the verdict line: the file name as log text, the verdict text and a
// line end. Nothing is written for Initial. The write's failure, if any.
Result<void> WriteVerdictLine(ActivityLog& log, const std::filesystem::path& fileName,
                              Verdict verdict);

// Writes the start-up line "系统启动".
Result<void> WriteStartupLine(ActivityLog& log);

}  // namespace quorvel
