#include "json/VerifyJson.h"

namespace quorvel {

JsonObject VerificationJson(const GenuineCheck& check, bool everyCheck) {
    JsonObject json{{"marker", check.marker}, {"genuine", check.genuine}};
    json["problems"] = ProblemSentences(check);
    JsonObject checks = JsonObject::array();
    for (const VerifyCheck& item : check.checks) {
        if (item.passed && !everyCheck) continue;
        JsonObject entry = ReasonJson(item.explanation);
        entry["passed"] = item.passed;
        checks.push_back(std::move(entry));
    }
    json["checks"] = std::move(checks);
    if (check.error) json["error"] = check.error->message;
    return json;
}

}  // namespace quorvel
