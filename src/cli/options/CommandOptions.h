#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/run/PhotoList.h"
#include "core/common/Result.h"
#include "core/config/Settings.h"

namespace quorvel::cli {

// The options of quorvel-audit, parsed and validated.

// Exit statuses of the command.
inline constexpr int kExitAllPassed = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnreadable = 3;     // some inputs could not be read
inline constexpr int kExitInterrupted = 130;  // stopped by SIGINT or SIGTERM

// Most photos audited at a time (--jobs).
inline constexpr int kMaxJobs = 256;

enum class CommandMode {
    Audit,       // audit the photos
    ShowConfig,  // print the settings read from the configuration file
    Verify,      // tell which files are genuine photos saved by a passed audit
    Merge,       // audit nothing: merge results files into one run's lines and report
};

struct AuditOptions {
    CommandMode mode = CommandMode::Audit;
    std::filesystem::path configPath = kDefaultConfigPath;
    std::optional<BackgroundColor> color;
    std::optional<SizeMode> size;
    std::optional<std::filesystem::path> cascadePath;
    std::optional<std::filesystem::path> outDir;
    std::string extension = "jpg";
    bool explain = false;
    bool log = false;
    std::optional<std::filesystem::path> reportPath;   // HTML report of the audit
    bool recursive = false;                            // folders among the photos: descend
    std::vector<std::filesystem::path> files;          // photos, or files to verify; bytes as given
    std::optional<std::filesystem::path> filesFrom;    // a list of photos ("-": standard input)
    ListSeparator separator = ListSeparator::Newline;  // -0: the list is NUL-separated
    std::optional<std::filesystem::path> resumePath;   // JSON lines of earlier runs, appended to
    std::optional<int> jobs;                           // photos audited at a time
    std::optional<std::string> shardText;              // --shard as given, "K/N"
    std::optional<Shard> shard;                        // --shard, once validated
    bool progress = false;                             // --progress: plain progress lines
    bool exitZero = false;                             // --exit-zero: rejections exit 0
    std::optional<std::string> fromResults;            // --from-results: the results to merge
    std::vector<std::string> commandLine;              // every argument, the program's first

    // The options given on the command line by name ("--out", "-0"), for
    // the checks that depend on which were given.
    std::vector<std::string> given;

    bool Given(const std::string& name) const;
};

// The checks the parser cannot make: options that mean nothing to the mode
// (by the option table), the files each mode needs, the ranges of --jobs and
// --shard. Returns the options completed (the shard parsed), or why they
// cannot be used.
Result<AuditOptions> ValidateOptions(AuditOptions options);

// "K/N" with 0 <= K < N.
std::optional<Shard> ParseShard(const std::string& text);

// Either the options to run with, or the exit status of a command line that
// has been answered already (help printed, or a usage error reported).
struct ParsedCommand {
    std::optional<AuditOptions> options;
    int exitStatus = kExitAllPassed;
};

// Reads and validates the command line. Help goes to `out`, usage errors to `err`.
ParsedCommand ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                               std::ostream& err);

}  // namespace quorvel::cli
