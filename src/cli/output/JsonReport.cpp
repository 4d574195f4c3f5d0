#include "cli/output/JsonReport.h"

namespace quorvel::cli {

JsonObject PhotoJson(const PhotoReport& report) {
    return AuditLineJson(report, report.showTrace, report.settings);
}

JsonObject GenuineJson(const std::filesystem::path& file, const GenuineCheck& check,
                       bool everyCheck) {
    JsonObject json{{"file", file.string()}};
    json.update(VerificationJson(check, everyCheck));
    return json;
}

}  // namespace quorvel::cli
