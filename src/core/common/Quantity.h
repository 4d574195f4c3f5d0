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

// The names of a quantity's numbers that more than one rule, sentence or
// reader uses, each spelled once.
namespace quantity_name {
inline constexpr const char* kMinWidth = "min_width";
inline constexpr const char* kMaxWidth = "max_width";
inline constexpr const char* kMinHeight = "min_height";
// How many trials of the frame search each edge of the photo stopped.
inline constexpr const char* kPastTop = "past_top";
inline constexpr const char* kPastBottom = "past_bottom";
inline constexpr const char* kPastSide = "past_side";
inline constexpr const char* kReadsPerCoefficient = "reads_per_coefficient";
}  // namespace quantity_name

}  // namespace quorvel
