#include "app/Config.h"

#include <INIReader.h>

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
    INIReader reader(path);
    settings.parseError = reader.ParseError();
    if (!settings.Opened()) return settings;
    settings.color = ClampToInt(reader.GetInteger("set", "color", 3));
    settings.size = ClampToInt(reader.GetInteger("set", "size", 1));
    return settings;
}
