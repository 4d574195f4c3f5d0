#include "core/config/ConfigPlaces.h"

#include <cstdlib>

#include "core/config/Settings.h"
#include "core/io/FileStatus.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool Exists(const fs::path& path) { return StatusOf(path, Links::Keep).exists(); }

}  // namespace

std::optional<fs::path> UserDataFolder(const std::string& home, const std::string& xdgDataHome) {
    if (!xdgDataHome.empty() && fs::path(xdgDataHome).is_absolute()) {
        return fs::path(xdgDataHome) / "quorvel";
    }
    if (home.empty() || !fs::path(home).is_absolute()) return std::nullopt;
    return fs::path(home) / ".local" / "share" / "quorvel";
}

std::optional<fs::path> UserDataFolderFromEnvironment() {
    return UserDataFolder(EnvOrEmpty("HOME"), EnvOrEmpty("XDG_DATA_HOME"));
}

std::vector<fs::path> InstalledDefaultConfigs() {
    const fs::path name = kDefaultConfigPath.filename();
    std::vector<fs::path> configs;
    const std::optional<fs::path> exe = LinkTarget("/proc/self/exe");
    if (exe && exe->has_parent_path()) {
        configs.push_back(exe->parent_path().parent_path() / QUORVEL_INSTALL_DATADIR / "quorvel" /
                          name);
    }
    const fs::path configured = fs::path(QUORVEL_INSTALL_FULL_DATADIR) / "quorvel" / name;
    if (configs.empty() || configs.front().lexically_normal() != configured.lexically_normal()) {
        configs.push_back(configured);
    }
    return configs;
}

ConfigChoice ChooseConfig(const fs::path& local, const std::optional<fs::path>& userFolder,
                          const std::vector<fs::path>& installed) {
    using Source = ConfigChoice::Source;
    if (Exists(local)) return {local, Source::WorkingDirectory};
    if (userFolder) {
        const fs::path own = *userFolder / kDefaultConfigPath.filename();
        if (Exists(own)) return {own, Source::UserFolder};
    }
    for (const fs::path& candidate : installed) {
        if (Exists(candidate)) return {candidate, Source::InstalledDefault};
    }
    return {local, Source::WorkingDirectory};
}

}  // namespace quorvel
