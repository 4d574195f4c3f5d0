#pragma once

#include <filesystem>
#include <optional>
#include <string>

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

// The values a setting may take. A value outside them read from a
// configuration file is kept, and every audit with it is rejected (the
// window's rule); a program's own options and queries refuse it instead.
struct SettingValues {
    const char* name;  // "color", "size": the key in section "set"
    int least;
    int most;

    bool Holds(int value) const { return value >= least && value <= most; }
};
inline constexpr SettingValues kColorValues{"color", 0, 3};
inline constexpr SettingValues kSizeValues{"size", 1, 2};

// The values listed for people, the last joined by `lastJoin`: "0, 1, 2 or
// 3", "1 or 2"; "1 或 2" with "或".
std::string ListValues(const SettingValues& values, const std::string& lastJoin = "or");

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

// Where a program's settings come from: the values its caller gives, and a
// configuration file for those it does not.
struct SettingsRequest {
    std::optional<std::filesystem::path> file;  // none: the defaults fill in
    std::optional<BackgroundColor> color;
    std::optional<SizeMode> size;
};

// The settings a program runs with.
struct ResolvedSettings {
    Settings settings;
    // The file that was read: none when the caller gave both settings or
    // named no file.
    std::optional<std::filesystem::path> file;
};

// The caller's values, the file's for the others (the file is read only
// when one is missing), the defaults where neither gives one. A file that
// cannot be used is ConfigUnusable with its path and the reason. Values
// are kept as they are, in range or not.
Result<ResolvedSettings> ResolveSettings(const SettingsRequest& request);

// ConfigUnusable when a value read from the file is outside its values
// ("\"cfg.ini\": color 7 is not 0, 1, 2 or 3"); for programs that refuse
// such a file instead of rejecting every photo.
Result<void> RequireKnownValues(const ResolvedSettings& resolved);

}  // namespace quorvel
