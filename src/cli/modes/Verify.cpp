#include <ostream>

#include "cli/modes/Modes.h"
#include "cli/output/JsonReport.h"
#include "cli/output/Messages.h"
#include "core/verify/GenuinePhoto.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

int Verify(const AuditOptions& options, std::ostream& out, std::ostream& err,
           const std::atomic<bool>* stop, LibraryMessages* messages) {
    std::optional<Session> session = OpenSession(options, err);
    if (!session) return kExitUsage;

    bool allGenuine = true;
    bool printed = true;
    for (const fs::path& file : options.files) {
        if (stop != nullptr && stop->load()) return kExitInterrupted;
        // A file that cannot be read, is too large or runs out of memory is
        // that file's line; the run goes on.
        GenuineCheck check;
        const auto verify = [&] {
            check = CheckGenuinePhotoFile(file, session->auditor().cascade(), session->settings());
        };
        // What the decoder says of the file is told with its name.
        const std::vector<std::string> warnings =
            messages != nullptr ? messages->During(verify) : (verify(), std::vector<std::string>{});
        for (const std::string& warning : warnings) {
            PrintMessage(err, file.string() + ": decoder warning: " + warning);
        }
        allGenuine = allGenuine && check.genuine;
        printed = PrintLine(out, JsonLine(GenuineJson(file, check, options.explain))) && printed;
    }
    if (!printed) PrintMessage(err, "cannot write the results to standard output");
    return allGenuine && printed ? kExitAllPassed : kExitSomeFailed;
}

}  // namespace quorvel::cli
