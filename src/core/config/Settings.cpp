#include "core/config/Settings.h"

#include <INIReader.h>

#include <climits>

#include "core/common/ErrorText.h"
#include "core/io/RegularFile.h"

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

std::string ListValues(const SettingValues& values, const std::string& lastJoin) {
    std::string text;
    for (int value = values.least; value <= values.most; ++value) {
        if (value == values.most && value != values.least) {
            text += " " + lastJoin + " ";
        } else if (value != values.least) {
            text += ", ";
        }
        text += std::to_string(value);
    }
    return text;
}

Result<SettingsFile> ReadSettings(const std::filesystem::path& path) {
    const std::string cannotOpen = "cannot open the configuration file " + Quoted(path);
    // A folder would read as an empty file and a FIFO would block: the file
    // is checked on the descriptor it is then read through.
    Result<RegularFile> opened = RegularFile::Open(path);
    if (!opened) {
        Error error = opened.error();
        error.message = cannotOpen + ": " + error.message;
        return error;
    }
    INIReader reader(opened->DescriptorPath());
    const int parseError = reader.ParseError();
    if (parseError == -1) return Fail(ErrorKind::NotReadable, cannotOpen, 0, path);
    SettingsFile file;
    file.errorLine = parseError > 0 ? parseError : 0;
    file.settings.color =
        static_cast<BackgroundColor>(ClampToInt(reader.GetInteger("set", "color", 3)));
    file.settings.size = static_cast<SizeMode>(ClampToInt(reader.GetInteger("set", "size", 1)));
    return file;
}

Result<ResolvedSettings> ResolveSettings(const SettingsRequest& request) {
    ResolvedSettings resolved;
    if (request.file && (!request.color || !request.size)) {
        Result<SettingsFile> file = ReadSettings(*request.file);
        if (!file) {
            Error error = file.error();
            error.kind = ErrorKind::ConfigUnusable;
            error.path = *request.file;
            return error;
        }
        resolved.settings = file->settings;
        resolved.file = *request.file;
    }
    if (request.color) resolved.settings.color = *request.color;
    if (request.size) resolved.settings.size = *request.size;
    return resolved;
}

Result<void> RequireKnownValues(const ResolvedSettings& resolved) {
    if (!resolved.file) return {};
    const auto refuse = [&](const SettingValues& values, int value) -> Result<void> {
        if (values.Holds(value)) return {};
        return Fail(ErrorKind::ConfigUnusable,
                    Quoted(*resolved.file) + ": " + values.name + " " + std::to_string(value) +
                        " is not " + ListValues(values),
                    0, *resolved.file);
    };
    Result<void> color = refuse(kColorValues, static_cast<int>(resolved.settings.color));
    if (!color) return color;
    return refuse(kSizeValues, static_cast<int>(resolved.settings.size));
}

}  // namespace quorvel
