#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "gui/Application.h"
#include "gui/AuditWorker.h"
#include "gui/CommandLine.h"
#include "gui/FailureMessages.h"
#include "gui/UserFolder.h"

using namespace quorvel::gui;

int main(int argc, char* argv[]) {
    // Help and version come before anything else: no window, no folder, no log.
    if (const std::optional<int> status = HandleInfoOption(argc, argv, std::cout)) return *status;
    if (!DisplayAvailable(argc, argv, std::cerr)) return 1;

    // A relative photo path names a file of the directory the program started in.
    std::error_code ignored;
    const std::filesystem::path startDir = std::filesystem::current_path(ignored);

    // Qt first: without a display nothing else happens (one line, status 1).
    Application app(argc, argv);

    // From the desktop entry, or where nothing of the window's is at hand:
    // work in the per-user folder, which holds cfg.ini, the cascade and Test.log.
    const quorvel::Result<void> entered =
        ChooseWorkingFolder(argc, argv, InstalledUserFolderSources(), std::cerr);
    if (!entered) {
        app.showMessage(userFolderFailureMessage(entered.error()));
        return 0;
    }
    // A failed start-up check has shown its message; that too ends with status 0.
    app.run(Application::photoArgument(argc, argv, startDir));
    // An audit still reading its photo cannot be interrupted: end without
    // waiting for it (every log entry is already flushed).
    if (AuditWorker::abandonedAudits() > 0) {
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
