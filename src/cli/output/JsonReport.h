#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"
#include "core/explain/Explanation.h"
#include "core/verify/GenuinePhoto.h"
#include "json/ResultsJson.h"
#include "json/VerifyJson.h"
#include "report/ReportEntry.h"

namespace quorvel::cli {

// The JSON objects that quorvel-audit prints, one per line (the results
// line and the verification are written in src/json, shared with the
// service and with --resume's reading).

// What became of one photo, with how its line is printed.
struct PhotoReport : report::PhotoOutcome {
    bool showTrace = false;            // print the trace (--explain)
    std::optional<Settings> settings;  // the settings it was audited with
};

JsonObject PhotoJson(const PhotoReport& report);

// The line of --verify: the file as given, then its VerificationJson (with
// everyCheck for --explain).
JsonObject GenuineJson(const std::filesystem::path& file, const GenuineCheck& check,
                       bool everyCheck);

}  // namespace quorvel::cli
