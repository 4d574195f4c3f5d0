#pragma once

#include <iosfwd>

#include "cli/options/CommandOptions.h"
#include "cli/output/Streams.h"
#include "core/session/Session.h"

namespace quorvel::cli {

// quorvel-audit: audits photo files with the window's core and prints one
// JSON line per photo; or verifies files, or shows the settings.

// How the session starts: --color and --size where given, the configuration
// file for the rest; the cascade from --cascade, else the working directory,
// else the system's copy.
SessionOptions SessionOptionsFor(const AuditOptions& options);

// Without --config, and unless both --color and --size make the file
// unnecessary, a missing ./cfg.ini gives way to the per-user settings, then
// the installed default; `err` is told which.
AuditOptions WithSettingsFallback(AuditOptions options, std::ostream& err);

// Runs the command and returns its exit status.
int RunCommand(const AuditOptions& options, const CommandStreams& streams);

}  // namespace quorvel::cli
