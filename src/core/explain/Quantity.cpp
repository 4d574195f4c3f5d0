#include "core/explain/Quantity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/results/Measures.h"

namespace quorvel {

namespace {

const char* UnitText(MeasureUnit unit) {
    switch (unit) {
        case MeasureUnit::Pixels:
            return "px";
        case MeasureUnit::SquarePixels:
            return "px²";
        case MeasureUnit::Share:
            return "%";
        case MeasureUnit::Degrees:
            return "°";
        case MeasureUnit::Bytes:
            return "B";
        case MeasureUnit::None:
            break;
    }
    return "";
}

// One value of the trace as people read it; a list of rectangles gives a row
// for each ("faces[1]"), or "[]" when it is empty.
void AddRows(const Measure& measure, const MeasureValue& value, std::vector<MeasuredValue>& rows) {
    const std::string label = MeasureLabel(measure);
    switch (measure.kind) {
        case MeasureKind::Truth:
            rows.emplace_back(label, value.truth ? "true" : "false");
            return;
        case MeasureKind::Word:
            rows.emplace_back(label, value.word);
            return;
        case MeasureKind::Rects:
            if (value.numbers.empty()) rows.emplace_back(label, "[]");
            for (std::size_t i = 0; i + 3 < value.numbers.size(); i += 4) {
                MeasuredValue& rect =
                    rows.emplace_back(label + "[" + std::to_string(i / 4) + "]", "");
                rect.numbers.assign(value.numbers.begin() + static_cast<std::ptrdiff_t>(i),
                                    value.numbers.begin() + static_cast<std::ptrdiff_t>(i + 4));
                rect.unit = UnitText(measure.unit);
                rect.decimals = measure.decimals;
            }
            return;
        case MeasureKind::Integer:
        case MeasureKind::Number:
        case MeasureKind::Integers:
            break;
    }
    MeasuredValue row(label, "");
    row.numbers = value.numbers;
    if (measure.unit == MeasureUnit::Share) {
        for (double& number : row.numbers) number *= 100;
    }
    row.unit = UnitText(measure.unit);
    row.decimals = measure.decimals;
    // A number without a value (not finite) reads as the results show it.
    if (std::any_of(row.numbers.begin(), row.numbers.end(),
                    [](double n) { return !std::isfinite(n); })) {
        row.numbers.clear();
        row.word = "null";
    }
    rows.push_back(std::move(row));
}

// A figure rounded to `decimals`, trailing zeros dropped.
std::string Rounded(double value, int decimals) {
    std::string text = FormatNumber(value, decimals);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

// A figure of an explanation: whole numbers without a point, others with at
// most two decimals.
std::string Figure(double value) {
    if (std::abs(value - std::round(value)) < 1e-9) return FormatNumber(value, 0);
    std::string text = FormatNumber(value, 2);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

// What a number of an explanation's quantity stands for, before it.
std::string Sense(const std::string& name) {
    std::string prefix;
    using namespace quantity_name;
    if (name == "min" || name == kMinWidth || name == kMinHeight) prefix = "≥ ";
    if (name == "max" || name == kMaxWidth) prefix = "≤ ";
    if (name == "above") prefix = "> ";
    if (name == "width" || name == kMinWidth || name == kMaxWidth) prefix += "width ";
    if (name == "height" || name == kMinHeight) prefix += "height ";
    if (prefix.empty() && name != "value") {
        prefix = name + " ";
        std::replace(prefix.begin(), prefix.end(), '_', ' ');
    }
    return prefix;
}

}  // namespace

std::string FormatNumber(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.*f", decimals, value);
    return buffer;
}

std::vector<MeasuredValue> MeasuredValues(const AuditReport& report) {
    std::vector<MeasuredValue> rows;
    for (const Measure& measure : TraceMeasures()) {
        if (!measure.stage->reached(report)) continue;
        if (const std::optional<MeasureValue> value = measure.read(report)) {
            AddRows(measure, *value, rows);
        }
    }
    return rows;
}

std::string QuantityText(const MeasuredValue& value) {
    if (value.numbers.empty()) return value.word;
    std::string text;
    for (const double number : value.numbers) {
        text += (text.empty() ? "" : ", ") + Rounded(number, value.decimals);
    }
    if (value.unit == "B") {
        return text + " B (" + FormatNumber(value.numbers.front() / 1024, 1) + " KB)";
    }
    return value.unit.empty() ? text : text + " " + value.unit;
}

std::string QuantityText(const Quantity& quantity) {
    std::vector<std::string> parts;
    for (const auto& [name, value] : quantity.numbers) parts.push_back(Sense(name) + Figure(value));
    for (const auto& [name, word] : quantity.words) {
        parts.push_back(name == "colour" ? word : name + " " + word);
    }
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : " · ") + part;
    if (!quantity.unit.empty()) {
        text += quantity.unit == "hsv" ? " (HSV)" : " " + quantity.unit;
    }
    return text;
}

}  // namespace quorvel
