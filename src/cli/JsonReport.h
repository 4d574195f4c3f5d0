#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"
#include "core/explain/Explanation.h"
#include "core/verify/GenuinePhoto.h"

namespace quorvel::cli {

// The JSON objects that quorvel-audit prints, one per line. Keys keep the
// order in which they are documented.
using JsonObject = nlohmann::ordered_json;

// What became of one photo.
struct PhotoReport {
    std::filesystem::path file;  // the path as given on the command line
    AuditReport audit;
    std::optional<std::filesystem::path> savedPath;  // the file written for a passed photo
    std::optional<std::string> error;                // why it could not be saved or audited
    bool showTrace = false;                          // print the trace (--explain)
    Explanation reason;                              // why the audit came out as it did
    std::optional<Settings> settings;                // the settings it was audited with
};

JsonObject PhotoJson(const PhotoReport& report);

// The "reason" object: rule, measured, limit, text, text_en (null where a
// value does not apply).
JsonObject ReasonJson(const Explanation& reason);

// The values the audit measured, stage by stage; a stage the audit did not
// reach is null.
JsonObject TraceJson(const AuditTrace& trace);

// The line of --verify: whether the file ends with the pass marker, whether
// it is genuine, each failed check as a sentence ("problems") and as
// structured values ("checks": rule, measured, limit, text, text_en,
// passed); with everyCheck (--explain) "checks" holds the passed ones too.
JsonObject GenuineJson(const std::filesystem::path& file, const GenuineCheck& check,
                       bool everyCheck);

JsonObject SettingsJson(const Settings& settings);

// The scalar values of an object as label and text, labels joined by dots
// ("background.coverage"); null values are left out.
std::vector<std::pair<std::string, std::string>> FlatValues(const JsonObject& object);

// One compact line without its line end. Bytes that are not UTF-8 (a file
// name in another encoding) are shown as U+FFFD.
std::string JsonLine(const JsonObject& object);

}  // namespace quorvel::cli
