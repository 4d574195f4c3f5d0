#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/audit/AuditReport.h"
#include "core/common/Quantity.h"

namespace quorvel {

// One value of an audit's trace for people, labelled by its key in the
// results' "trace" ("background.coverage", "faces[0]"): its numbers in `unit`
// (a share as a percentage), or a word where it is not a number ("blue",
// "true").
struct MeasuredValue {
    MeasuredValue() = default;
    MeasuredValue(std::string label, std::string word)
        : label(std::move(label)), word(std::move(word)) {}

    std::string label;
    std::string word;
    std::vector<double> numbers;
    std::string unit;  // "px", "px²", "%", "°", "B" or none
    int decimals = 3;  // digits after the point worth showing
};

// The values of the report's trace, as its declarations give them
// (core/results/Measures.h), in the order of the results' "trace" object;
// stages the audit did not reach and values it did not measure are left out.
std::vector<MeasuredValue> MeasuredValues(const AuditReport& report);

// How people read a quantity. A measured value: its numbers rounded and
// joined by ", ", then its unit ("46.3 %", "12, 30, 200, 200 px"; a file
// length in kilobytes too). A measured value or a limit of an explanation:
// its parts joined by " · ", each number with its sense ("≥ 20 · ≤ 80 %",
// "3", "blue").
std::string QuantityText(const MeasuredValue& value);
std::string QuantityText(const Quantity& quantity);

// A number with `decimals` digits after the point, as people read it.
std::string FormatNumber(double value, int decimals);

}  // namespace quorvel
