#pragma once

#include <filesystem>
#include <vector>

#include "cli/AuditCommand.h"
#include "cli/BatchRun.h"
#include "cli/RunFiles.h"
#include "core/common/Result.h"
#include "core/session/Session.h"

namespace quorvel::cli {

// Every file the run reads and writes, recorded in `files` before the first
// audit: refused when a write would land on a file read, or two writes on
// one file, or a report page is a link or not a regular file.
Result<void> CheckRunFiles(const AuditOptions& options, const Session& session,
                           const std::vector<std::filesystem::path>& photos, RunFiles& files);

// Opens the folders the run writes in (--out created when missing), checked
// writable; refuses a report named like an image file.
Result<void> OpenRunFolders(const AuditOptions& options, RunFolders& folders);

}  // namespace quorvel::cli
