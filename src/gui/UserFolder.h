#pragma once

#include <filesystem>
#include <iosfwd>

#include "core/common/Result.h"
#include "core/config/UserFolderSetup.h"

namespace quorvel::gui {

// The window's side of the per-user folder (core/config/UserFolderSetup):
// the sources of the installed program, the choice of the working folder and
// the move into it.

// The sources of an installed program: the cfg.ini installed beside the
// running executable (<prefix>/share/quorvel), then the one of the configured
// prefix; Debian's cascade; HOME and XDG_DATA_HOME from the environment.
quorvel::UserFolderSources InstalledUserFolderSources();

// Removes the desktop entry's mark "--desktop" when it is argv[1]; returns
// whether it was there. The remaining arguments keep their order.
bool TakeDesktopFlag(int& argc, char** argv);

// Prepares the folder and makes it the working directory; on failure the
// working directory is unchanged. Besides PrepareUserFolder's failures,
// NotReadable with the folder's path when it cannot be entered.
quorvel::Result<void> EnterUserFolder(const quorvel::UserFolderSources& sources);

// Whether the folder holds cfg.ini or the cascade (even a broken link to one).
bool HoldsStartupFiles(const std::filesystem::path& folder);

// Picks the window's working folder. Started from the desktop entry
// ("--desktop", removed from the arguments), or in a folder that holds
// neither cfg.ini nor the cascade, the window works in the per-user folder,
// and in the second case says so on `err`. A folder holding one of them stays
// the working folder, and the start-up checks report what is missing there.
quorvel::Result<void> ChooseWorkingFolder(int& argc, char** argv,
                                          const quorvel::UserFolderSources& sources,
                                          std::ostream& err);

}  // namespace quorvel::gui
