#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// Where settings are found outside the working directory: the per-user
// folder of the desktop window, and the defaults installed with the programs.

// The per-user folder, $XDG_DATA_HOME/quorvel, else $HOME/.local/share/quorvel.
// A relative XDG_DATA_HOME is ignored, as the XDG base directory rules ask;
// nothing when HOME is needed but unset or relative.
std::optional<std::filesystem::path> UserDataFolder(const std::string& home,
                                                    const std::string& xdgDataHome);

// The same folder from this process's environment.
std::optional<std::filesystem::path> UserDataFolderFromEnvironment();

// The installed default cfg.ini files, in the order they are tried: the one
// beside the running executable (<prefix>/share/quorvel), then the one of the
// prefix the programs were built for.
std::vector<std::filesystem::path> InstalledDefaultConfigs();

// Which settings file a program without ./cfg.ini reads instead, and why.
struct ConfigChoice {
    enum class Source { WorkingDirectory, UserFolder, InstalledDefault };
    std::filesystem::path path;
    Source source = Source::WorkingDirectory;
};

// The first existing of: the local file, the per-user folder's cfg.ini, the
// installed defaults. When none exists the local file is kept, so that its
// absence is what gets reported.
ConfigChoice ChooseConfig(const std::filesystem::path& local,
                          const std::optional<std::filesystem::path>& userFolder,
                          const std::vector<std::filesystem::path>& installed);

}  // namespace quorvel
