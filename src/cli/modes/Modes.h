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
// With `messages`, what the decoder writes to standard error is told as the
// file's warning.
int Verify(const AuditOptions& options, std::ostream& out, std::ostream& err,
           const std::atomic<bool>* stop, LibraryMessages* messages);

// The audit of the photos: one line each, saves, log, report.
int AuditPhotos(const AuditOptions& options, const CommandStreams& streams);

// --from-results: the results files merged into one run's lines, printed
// in the run's order, and the report made from them.
int MergeResults(const AuditOptions& options, const CommandStreams& streams);

// The session of an audit or a verification, or nothing after telling why
// it cannot start.
std::optional<Session> OpenSession(const AuditOptions& options, std::ostream& err);

// The start-up failure in the words the command has always used.
std::string StartupMessage(const Error& problem);

}  // namespace quorvel::cli
