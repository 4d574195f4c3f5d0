#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/config/Settings.h"
#include "core/session/Session.h"

namespace quorvel::cli {

// quorvel-audit: audits photo files with the window's core and prints one
// JSON line per photo.

// Exit statuses of the command.
inline constexpr int kExitAllPassed = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

enum class CommandMode {
    Audit,       // audit the photos
    ShowConfig,  // print the settings read from the configuration file
    Verify,      // tell which files are genuine photos saved by a passed audit
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
    std::optional<std::filesystem::path> reportPath;  // HTML report of the audit
    bool recursive = false;                           // folders among the photos: descend
    std::vector<std::filesystem::path> files;         // photos, or files to verify; bytes as given
};

// Either the options to run with, or the exit status of a command line that
// has been answered already (help printed, or a usage error reported).
struct ParsedCommand {
    std::optional<AuditOptions> options;
    int exitStatus = kExitAllPassed;
};

// Reads the command line. Help goes to `out`, usage errors to `err`.
ParsedCommand ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                               std::ostream& err);

// How the session starts: --color and --size where given, the configuration
// file for the rest; the cascade from --cascade, else the working directory,
// else the system's copy.
SessionOptions SessionOptionsFor(const AuditOptions& options);

// Where a passed photo is saved: <outDir>/<stem of the photo>.<extension>.
std::filesystem::path OutputPathFor(const std::filesystem::path& outDir,
                                    const std::filesystem::path& photo,
                                    const std::string& extension);

// Runs the command and returns its exit status. JSON lines go to `out`;
// messages go to `err`, and with `progress` a line per photo as well.
int RunCommand(const AuditOptions& options, std::ostream& out, std::ostream& err, bool progress);

}  // namespace quorvel::cli
