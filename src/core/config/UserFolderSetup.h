#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/common/Result.h"

namespace quorvel {

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

// The folder's path from the environment; NotFound without a path when HOME
// is needed but unset or relative. A relative XDG_DATA_HOME is ignored, as
// the XDG base directory rules ask.
Result<std::filesystem::path> UserFolderPath(const UserFolderSources& sources);

// Creates the folder when missing, copies the default cfg.ini into it when it
// has none (an existing one is never replaced), and links the cascade into it
// (a missing, dangling or differently aimed link is replaced; a regular file
// the user put there is kept). Returns the folder.
//
// A failure's kind and path tell the step that failed; systemError is that
// step's errno (0 when there is none):
//   NotFound, no path                 HOME is needed but unset or relative
//   WriteFailed, the folder           the folder cannot be created
//   ConfigUnusable, a default config  the default configuration cannot be read
//   WriteFailed, <folder>/cfg.ini     cfg.ini cannot be written
//   IsFolder, <folder>/<cascade>      a folder takes the cascade's name
//   NotFound, sources.cascade         the system's cascade is missing
//   CascadeUnusable, <folder>/<cascade>  the cascade cannot be copied in
//                                     (where the file system has no links)
//   WriteFailed, <folder>/<cascade>   the link cannot take the cascade's name
Result<std::filesystem::path> PrepareUserFolder(const UserFolderSources& sources);

}  // namespace quorvel
