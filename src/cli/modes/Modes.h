#pragma once

#include <atomic>
#include <iosfwd>
#include <optional>
#include <string>

#include "cli/modes/Command.h"

namespace quorvel::cli {

// The three modes of the command, each returning its exit status.

// --show-config: the settings of the configuration file as a JSON line.
int ShowConfig(const AuditOptions& options, std::ostream& out, std::ostream& err);

// --verify: one line per file, whether it is a photo saved by a passed audit.
int Verify(const AuditOptions& options, std::ostream& out, std::ostream& err,
           const std::atomic<bool>* stop);

// The audit of the photos: one line each, saves, log, report.
int AuditPhotos(const AuditOptions& options, const CommandStreams& streams);

// The session of an audit or a verification, or nothing after telling why
// it cannot start.
std::optional<Session> OpenSession(const AuditOptions& options, std::ostream& err);

// The start-up failure in the words the command has always used.
std::string StartupMessage(const Error& problem);

}  // namespace quorvel::cli
