#include "json/ReasonJson.h"

#include <cmath>
#include <cstdint>
#include <string>

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

std::optional<Quantity> QuantityOf(const JsonObject& value) {
    if (!value.is_object()) return std::nullopt;
    Quantity quantity;
    for (const auto& [name, item] : value.items()) {
        if (name == "unit") {
            if (item.is_string()) quantity.unit = item.get<std::string>();
        } else if (item.is_number()) {
            quantity.numbers.emplace_back(name, item.get<double>());
        } else if (item.is_string()) {
            quantity.words.emplace_back(name, item.get<std::string>());
        }
    }
    return quantity;
}

std::string TextOf(const JsonObject& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

JsonObject ReasonJson(const Explanation& reason) {
    return JsonObject{{"rule", reason.rule},
                      {"measured", QuantityJson(reason.measured)},
                      {"limit", QuantityJson(reason.limit)},
                      {"text", reason.text},
                      {"text_en", reason.textEn}};
}

std::optional<Explanation> ReasonOf(const JsonObject& reason) {
    if (!reason.is_object()) return std::nullopt;
    Explanation explanation;
    explanation.rule = TextOf(reason, "rule");
    if (const auto found = reason.find("measured"); found != reason.end()) {
        explanation.measured = QuantityOf(*found);
    }
    if (const auto found = reason.find("limit"); found != reason.end()) {
        explanation.limit = QuantityOf(*found);
    }
    explanation.text = TextOf(reason, "text");
    explanation.textEn = TextOf(reason, "text_en");
    return explanation;
}

}  // namespace quorvel
