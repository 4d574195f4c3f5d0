#pragma once

#include <filesystem>

namespace quorvel {

// Background colour classes, and the values of the "color" setting that
// select them. Any accepts any of the three; a setting outside 0..3 is kept
// as it is and accepts nothing.
enum class BackgroundColor : int { White = 0, Red = 1, Blue = 2, Any = 3 };

// The "size" setting: mode 1 makes photos 215-295 pixels wide, mode 2
// 295-413. Any other value is kept as it is and rejects every photo.
enum class SizeMode : int { Mode1 = 1, Mode2 = 2 };

// The two settings an audit depends on.
struct Settings {
    BackgroundColor color = BackgroundColor::Any;
    SizeMode size = SizeMode::Mode1;
};

// What reading a configuration file gave.
struct SettingsFile {
    bool opened = false;  // false when the file cannot be opened or is not a regular file
    int errorLine = 0;    // first line inih could not parse (ignored), 0 when none
    Settings settings;    // the defaults for keys that are missing or not numbers
};

inline const std::filesystem::path kDefaultConfigPath = "./cfg.ini";

// Reads section "set", keys "color" (default 3) and "size" (default 1), as
// the window does at start-up.
SettingsFile ReadSettings(const std::filesystem::path& path = kDefaultConfigPath);

}  // namespace quorvel
