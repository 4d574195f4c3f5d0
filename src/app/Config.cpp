#include "app/Config.h"

#include <INIReader.h>
#include <sys/stat.h>

#include <climits>

namespace {

// INIReader returns a long, which is 64 bits here; the settings are 32-bit
// integers whose out-of-range values saturate as strtol does on 32 bits.
int ClampToInt(long value) {
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

QuorvelSettings ReadSettings(const std::string& path) {
    QuorvelSettings settings;
    // Only a regular file (or a link to one) is a configuration file: a folder
    // would read as an empty file and a FIFO would block, so both count as
    // missing.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        settings.parseError = -1;
        return settings;
    }
    INIReader reader(path);
    settings.parseError = reader.ParseError();
    if (!settings.Opened()) return settings;
    settings.color = ClampToInt(reader.GetInteger("set", "color", 3));
    settings.size = ClampToInt(reader.GetInteger("set", "size", 1));
    return settings;
}
