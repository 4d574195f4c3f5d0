#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"
#include "core/explain/Explanation.h"
#include "core/verify/GenuinePhoto.h"
#include "json/VerifyJson.h"

namespace quorvel::cli {

// The JSON objects that quorvel-audit prints, one per line (JsonObject,
// ReasonJson and JsonLine are shared with the service).

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

// The values the audit measured, stage by stage; a stage the audit did not
// reach is null.
JsonObject TraceJson(const AuditTrace& trace);

// The line of --verify: the file as given, then its VerificationJson (with
// everyCheck for --explain).
JsonObject GenuineJson(const std::filesystem::path& file, const GenuineCheck& check,
                       bool everyCheck);

JsonObject SettingsJson(const Settings& settings);

// The scalar values of an object as label and text, labels joined by dots
// ("background.coverage"); null values are left out.
std::vector<std::pair<std::string, std::string>> FlatValues(const JsonObject& object);

}  // namespace quorvel::cli
