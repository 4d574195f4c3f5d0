#include "core/explain/Quantity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorvel {

namespace {

// Collects a trace's values under their labels.
class ValueList {
public:
    void Numbers(std::string label, std::vector<double> numbers, const char* unit, int decimals) {
        MeasuredValue value;
        value.label = std::move(label);
        value.numbers = std::move(numbers);
        value.unit = unit;
        value.decimals = decimals;
        // A number without a value (not finite) reads as the results show it.
        if (std::any_of(value.numbers.begin(), value.numbers.end(),
                        [](double n) { return !std::isfinite(n); })) {
            value.numbers.clear();
            value.word = "null";
        }
        m_values.push_back(std::move(value));
    }
    void Pixels(std::string label, std::vector<double> numbers) {
        Numbers(std::move(label), std::move(numbers), "px", 0);
    }
    void Plain(std::string label, double number) { Numbers(std::move(label), {number}, "", 3); }
    void Word(std::string label, std::string word) {
        m_values.emplace_back(std::move(label), std::move(word));
    }
    std::vector<MeasuredValue> Take() { return std::move(m_values); }

private:
    std::vector<MeasuredValue> m_values;
};

std::vector<double> RectNumbers(const cv::Rect& rect) {
    return {static_cast<double>(rect.x), static_cast<double>(rect.y),
            static_cast<double>(rect.width), static_cast<double>(rect.height)};
}

const char* Truth(bool value) { return value ? "true" : "false"; }

void AddBackground(const BackgroundTrace& bg, ValueList& out) {
    out.Word("background.accepted_colour", Truth(bg.fills.has_value()));
    if (bg.backgroundClass) {
        out.Plain("background.class", static_cast<int>(*bg.backgroundClass));
        out.Word("background.class_name", NamesOf(*bg.backgroundClass).code);
    }
    out.Numbers("background.sample_rgb",
                {static_cast<double>(bg.sampleRgb[0]), static_cast<double>(bg.sampleRgb[1]),
                 static_cast<double>(bg.sampleRgb[2])},
                "", 3);
    if (bg.hsv.hueDefined) out.Numbers("background.hsv.hue", {bg.hsv.hue}, "°", 1);
    out.Numbers("background.hsv.saturation", {bg.hsv.saturation}, "", 2);
    out.Numbers("background.hsv.value", {bg.hsv.value}, "", 2);
    if (bg.fills) {
        const BackgroundFills& fills = *bg.fills;
        out.Numbers("background.areas",
                    {static_cast<double>(fills.areas[0]), static_cast<double>(fills.areas[1]),
                     static_cast<double>(fills.areas[2])},
                    "px²", 0);
        out.Numbers("background.mean_area", {static_cast<double>(fills.meanArea)}, "px²", 0);
        out.Numbers("background.coverage", {fills.coverage * 100}, "%", 1);
    }
}

void AddCrop(const CropTrace& crop, ValueList& out) {
    const FrameSearch* search = crop.search ? &*crop.search : nullptr;
    if (crop.headTopRow) out.Pixels("crop.head_top_row", {static_cast<double>(*crop.headTopRow)});
    if (search != nullptr) out.Pixels("crop.head_room", {static_cast<double>(search->headRoom)});
    out.Plain("crop.trials", search != nullptr ? search->trials : 0);
    const bool accepted = search != nullptr && search->accepted && crop.extraction;
    out.Word("crop.accepted", Truth(accepted));
    if (!accepted) return;
    const ExtractionPlan& plan = *crop.extraction;
    out.Word("crop.pass", std::string(1, search->pass));
    out.Plain("crop.k", search->headRoomFactor);
    out.Plain("crop.s", search->spread);
    out.Plain("crop.u", search->minimumSpread);
    out.Plain("crop.t", search->scale);
    out.Pixels("crop.frame.left", {static_cast<double>(search->frame.left)});
    out.Pixels("crop.frame.top", {static_cast<double>(search->frame.top)});
    out.Pixels("crop.frame.right", {static_cast<double>(search->frame.right)});
    out.Pixels("crop.frame.width", {static_cast<double>(search->frame.width())});
    out.Pixels("crop.output_width", {static_cast<double>(search->outputWidth)});
    out.Pixels("crop.scaled.width", {static_cast<double>(plan.scaled.width)});
    out.Pixels("crop.scaled.height", {static_cast<double>(plan.scaled.height)});
    out.Pixels("crop.extraction", RectNumbers(plan.rect));
    out.Pixels("crop.padding.columns", {static_cast<double>(plan.padColumns)});
    out.Pixels("crop.padding.rows", {static_cast<double>(plan.padRows)});
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
    if (name == "min" || name == "min_width" || name == "min_height") prefix = "≥ ";
    if (name == "max" || name == "max_width") prefix = "≤ ";
    if (name == "above") prefix = "> ";
    if (name == "width" || name == "min_width" || name == "max_width") prefix += "width ";
    if (name == "height" || name == "min_height") prefix += "height ";
    if (prefix.empty() && name != "value") {
        prefix = name + " ";
        std::replace(prefix.begin(), prefix.end(), '_', ' ');
    }
    return prefix;
}

}  // namespace

std::optional<double> Quantity::Number(const std::string& name) const {
    for (const auto& [key, value] : numbers) {
        if (key == name) return value;
    }
    return std::nullopt;
}

std::string FormatNumber(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.*f", decimals, value);
    return buffer;
}

std::vector<MeasuredValue> MeasuredValues(const AuditTrace& trace) {
    ValueList out;
    if (trace.photoSize) {
        out.Pixels("photo.width", {static_cast<double>(trace.photoSize->width)});
        out.Pixels("photo.height", {static_cast<double>(trace.photoSize->height)});
    }
    if (!trace.faces || trace.faces->empty()) out.Word("faces", "[]");
    if (trace.faces) {
        for (std::size_t i = 0; i < trace.faces->size(); ++i) {
            out.Pixels("faces[" + std::to_string(i) + "]", RectNumbers((*trace.faces)[i]));
        }
    }
    if (trace.fileLength) {
        out.Numbers("file_length", {static_cast<double>(*trace.fileLength)}, "B", 0);
    }
    if (trace.background) AddBackground(*trace.background, out);
    if (trace.crop) AddCrop(*trace.crop, out);
    return out.Take();
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
