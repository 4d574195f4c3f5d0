#pragma once

#include <filesystem>
#include <vector>

#include "cli/options/CommandOptions.h"
#include "cli/output/Messages.h"
#include "cli/output/Streams.h"
#include "cli/run/BatchRun.h"
#include "cli/run/OutputPlan.h"
#include "cli/run/RunFiles.h"
#include "core/common/Result.h"
#include "core/session/Session.h"

namespace quorvel::cli {

// Every file the run reads and writes, recorded in `files` before the first
// audit (the photos and their outputs as the plan looked at them): refused
// when a write would land on a file read, or two writes on one file, or a
// report page is a link or not a regular file.
Result<void> CheckRunFiles(const AuditOptions& options, const Session& session,
                           const OutputPlan& plan, RunFiles& files);

// The pages of a report of `cards` photos.
std::size_t ReportPages(std::size_t cards);

// The report's pages firstPage.. of a report of `cards` photos, recorded as
// written (refused as CheckRunFiles refuses).
Result<void> CheckReportPages(const AuditOptions& options, std::size_t cards, std::size_t firstPage,
                              RunFiles& files);

// Opens the folders the run writes in (--out created when missing), checked
// writable; refuses a report named like an image file, and one another run
// is writing (its lock ".NAME.lock" beside it, removed with `temporaries`
// when a signal ends the run).
Result<void> OpenRunFolders(const AuditOptions& options, RunFolders& folders,
                            TemporaryFiles* temporaries);

}  // namespace quorvel::cli
