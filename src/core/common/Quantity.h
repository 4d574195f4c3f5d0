#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

// A measured value or a limit: named numbers (e.g. "value", "min", "max",
// "above", "width", "height") and named words (e.g. "colour"), with a unit.
struct Quantity {
    std::vector<std::pair<std::string, double>> numbers;
    std::vector<std::pair<std::string, std::string>> words;
    std::string unit;

    std::optional<double> Number(const std::string& name) const {
        for (const auto& [key, value] : numbers) {
            if (key == name) return value;
        }
        return std::nullopt;
    }
    std::optional<std::string> Word(const std::string& name) const {
        for (const auto& [key, word] : words) {
            if (key == name) return word;
        }
        return std::nullopt;
    }
};

}  // namespace quorvel
