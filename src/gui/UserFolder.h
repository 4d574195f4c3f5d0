#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/common/Result.h"

namespace quorvel::gui {

// The per-user working folder of the window started from the desktop entry:
// $XDG_DATA_HOME/quorvel (default ~/.local/share/quorvel). It holds the
// user's cfg.ini, the face cascade and Test.log, which the window expects in
// its working directory.

// Where the folder's contents come from, and the environment that places it.
struct UserFolderSources {
    // Default configurations, tried in order; the first existing one is
    // copied. When none exists, the built-in default is written.
    std::vector<std::filesystem::path> defaultConfigs;
    // The face cascade the folder links to (or copies, where links fail).
    std::filesystem::path cascade;
    std::string home;         // $HOME
    std::string xdgDataHome;  // $XDG_DATA_HOME, empty when unset
};

// The default configuration written when no installed one is found:
// colour 3 (white, red or blue), size mode 1.
extern const char kBuiltInConfig[];

// The sources of an installed program: the cfg.ini installed beside the
// running executable (<prefix>/share/quorvel), then the one of the configured
// prefix; Debian's cascade; HOME and XDG_DATA_HOME from the environment.
UserFolderSources InstalledUserFolderSources();

// The folder's path from the environment, or an error when HOME is needed
// but not set. A relative XDG_DATA_HOME is ignored, as the XDG base directory
// rules ask. The errors of this module carry the window's own sentence as
// their message.
quorvel::Result<std::filesystem::path> UserFolderPath(const UserFolderSources& sources);

// Creates the folder when missing, copies the default cfg.ini into it when it
// has none (an existing one is never replaced), and links the cascade into it
// (a missing, dangling or differently aimed link is replaced; a regular file
// the user put there is kept). Returns the folder.
quorvel::Result<std::filesystem::path> PrepareUserFolder(const UserFolderSources& sources);

// Removes the desktop entry's mark "--desktop" when it is argv[1]; returns
// whether it was there. The remaining arguments keep their order.
bool TakeDesktopFlag(int& argc, char** argv);

// Prepares the folder and makes it the working directory; on failure the
// working directory is unchanged.
quorvel::Result<void> EnterUserFolder(const UserFolderSources& sources);

// Whether the folder holds cfg.ini or the cascade (even a broken link to one).
bool HoldsStartupFiles(const std::filesystem::path& folder);

// Picks the window's working folder. Started from the desktop entry
// ("--desktop", removed from the arguments), or in a folder that holds
// neither cfg.ini nor the cascade, the window works in the per-user folder,
// and in the second case says so on `err`. A folder holding one of them stays
// the working folder, and the start-up checks report what is missing there.
quorvel::Result<void> ChooseWorkingFolder(int& argc, char** argv, const UserFolderSources& sources,
                                          std::ostream& err);

}  // namespace quorvel::gui
