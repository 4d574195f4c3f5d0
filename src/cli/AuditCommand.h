#pragma once

#include <iosfwd>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/Config.h"
#include "audit/AuditChain.h"

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
    std::string configPath = kDefaultConfigPath;
    std::optional<int> color;
    std::optional<int> size;
    std::optional<std::string> cascadePath;
    std::optional<std::string> outDir;
    std::string extension = "jpg";
    bool explain = false;
    bool log = false;
    std::optional<std::string> reportPath;  // HTML report of the audit
    bool recursive = false;                 // folders among the photos: descend
    std::vector<std::string> files;         // photos, or files to verify; bytes as given
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

// The settings to audit with: --color and --size where given, the
// configuration file for the rest. A text when the file is needed and cannot
// be opened.
std::variant<AuditSettings, std::string> ResolveSettings(const AuditOptions& options);

// Which cascade file to load: --cascade, else the one in the working
// directory, else the system's copy.
std::string ChooseCascadePath(const AuditOptions& options);

// Where a passed photo is saved: <outDir>/<stem of the photo>.<extension>.
std::string OutputPathFor(const std::string& outDir, const std::string& photo,
                          const std::string& extension);

// Runs the command and returns its exit status. JSON lines go to `out`;
// messages go to `err`, and with `progress` a line per photo as well.
int RunCommand(const AuditOptions& options, std::ostream& out, std::ostream& err, bool progress);
