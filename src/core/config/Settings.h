#pragma once

#include <filesystem>

#include "core/common/Result.h"

namespace quorvel {

// Background colour classes, and the values of the "color" setting that
// select them. Any accepts any of the three; a setting outside 0..3 is kept
// as it is and accepts nothing.
enum class BackgroundColor : int { White = 0, Red = 1, Blue = 2, Any = 3 };

// The "size" setting: the two size modes (their widths are in the rules).
// Any other value is kept as it is and rejects every photo.
enum class SizeMode : int { Mode1 = 1, Mode2 = 2 };

// The two settings an audit depends on.
struct Settings {
    BackgroundColor color = BackgroundColor::Any;
    SizeMode size = SizeMode::Mode1;
};

// What reading a configuration file gave.
struct SettingsFile {
    int errorLine = 0;  // first line inih could not parse (ignored), 0 when none
    Settings settings;  // the defaults for keys that are missing or not numbers
};

inline const std::filesystem::path kDefaultConfigPath = "./cfg.ini";

// Reads section "set", keys "color" (default 3) and "size" (default 1), as
// the window does at start-up. Only a regular file (or a link to one) is a
// configuration file; the error's message says why it cannot be used
// ("cannot open the configuration file \"cfg.ini\": it is a folder").
Result<SettingsFile> ReadSettings(const std::filesystem::path& path = kDefaultConfigPath);

}  // namespace quorvel
