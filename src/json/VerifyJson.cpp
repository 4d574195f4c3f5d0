#include "json/VerifyJson.h"

#include <cmath>
#include <cstdint>
#include <optional>

namespace quorvel {

namespace {

JsonObject QuantityJson(const std::optional<Quantity>& quantity) {
    if (!quantity) return nullptr;
    JsonObject json = JsonObject::object();
    for (const auto& [name, value] : quantity->numbers) {
        // Counts and pixel sizes print as whole numbers.
        const bool whole = std::floor(value) == value && std::fabs(value) < 1e15;
        json[name] = whole ? JsonObject(static_cast<std::int64_t>(value)) : JsonObject(value);
    }
    for (const auto& [name, word] : quantity->words) json[name] = word;
    json["unit"] = quantity->unit.empty() ? JsonObject() : JsonObject(quantity->unit);
    return json;
}

}  // namespace

JsonObject ReasonJson(const Explanation& reason) {
    return JsonObject{{"rule", reason.rule},
                      {"measured", QuantityJson(reason.measured)},
                      {"limit", QuantityJson(reason.limit)},
                      {"text", reason.text},
                      {"text_en", reason.textEn}};
}

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

std::string JsonLine(const JsonObject& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace quorvel
