#include "core/config/Settings.h"

#include <INIReader.h>
#include <sys/stat.h>

#include <climits>

namespace quorvel {

namespace {

// INIReader returns a long, which is 64 bits here; the settings are 32-bit
// integers whose out-of-range values saturate as strtol does on 32 bits.
int ClampToInt(long value) {
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

SettingsFile ReadSettings(const std::filesystem::path& path) {
    SettingsFile file;
    // Only a regular file (or a link to one) is a configuration file: a folder
    // would read as an empty file and a FIFO would block, so both count as
    // missing.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return file;
    INIReader reader(path.string());
    const int parseError = reader.ParseError();
    if (parseError == -1) return file;
    file.opened = true;
    file.errorLine = parseError > 0 ? parseError : 0;
    file.settings.color =
        static_cast<BackgroundColor>(ClampToInt(reader.GetInteger("set", "color", 3)));
    file.settings.size = static_cast<SizeMode>(ClampToInt(reader.GetInteger("set", "size", 1)));
    return file;
}

}  // namespace quorvel
