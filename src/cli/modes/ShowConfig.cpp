#include <ostream>

#include "cli/modes/Modes.h"
#include "cli/output/JsonReport.h"
#include "cli/output/Messages.h"

namespace quorvel::cli {

int ShowConfig(const AuditOptions& options, std::ostream& out, std::ostream& err) {
    const Result<SettingsFile> file = ReadSettings(options.configPath);
    if (!file) {
        PrintMessage(err, file.error().message);
        return kExitUsage;
    }
    if (file->errorLine > 0) {
        PrintMessage(err, "\"" + options.configPath.string() + "\" line " +
                              std::to_string(file->errorLine) +
                              ": not a section or key line (ignored, as the window does)");
    }
    if (!PrintLine(out, JsonLine(SettingsJson(file->settings)))) {
        PrintMessage(err, "cannot write the results to standard output");
        return kExitSomeFailed;
    }
    return kExitAllPassed;
}

}  // namespace quorvel::cli
