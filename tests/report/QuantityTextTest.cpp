#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/explain/Quantity.h"
#include "support/TestSupport.h"

using namespace quorvel;

namespace {

AuditReport Traced(const AuditTrace& trace) {
    AuditReport report;
    report.trace = trace;
    return report;
}

std::string TextOf(const std::vector<MeasuredValue>& values, const std::string& label) {
    for (const MeasuredValue& value : values) {
        if (value.label == label) return QuantityText(value);
    }
    return "(none)";
}

}  // namespace

TEST(QuantityText, MeasuredValuesCarryTheirUnits) {
    AuditTrace trace = testsupport::FullTrace();
    trace.crop->search->scale = std::nan("");
    const std::vector<MeasuredValue> values = MeasuredValues(Traced(trace));
    const struct {
        const char* label;
        const char* text;
    } rows[] = {
        {"photo.width", "480 px"},
        {"faces[1]", "10, 20, 30, 30 px"},
        {"file_length", "44239 B (43.2 KB)"},
        {"background.class_name", "BG_BLUE"},
        {"background.sample_rgb", "66, 142, 218"},
        {"background.hsv.hue", "210.5 °"},
        {"background.hsv.saturation", "0.7"},
        {"background.areas", "100000, 120000, 110000 px²"},
        {"background.coverage", "46.3 %"},
        {"crop.accepted", "true"},
        {"crop.pass", "B"},
        {"crop.head_room_factor", "1.25"},
        {"crop.spread", "0"},  // no "-0"
        {"crop.least_spread", "0.333"},
        {"crop.scale", "null"},  // not a number: as the results line shows it
        {"crop.frame.width", "300 px"},
        {"crop.extraction", "1, 2, 358, 441 px"},
    };
    for (const auto& row : rows) EXPECT_EQ(TextOf(values, row.label), row.text) << row.label;
    EXPECT_EQ(TextOf(MeasuredValues(Traced(AuditTrace{})), "faces"), "[]") << "no face list";
    for (const char* letter : {"crop.k", "crop.s", "crop.u", "crop.t"}) {
        EXPECT_EQ(TextOf(values, letter), "(none)") << "named, not " << letter;
    }
}

TEST(QuantityText, DecisiveValuesNameWhatEachNumberIs) {
    const struct {
        const char* description;
        Quantity quantity;
        const char* text;
    } rows[] = {
        {"a range in percent", {{{"min", 20}, {"max", 80}}, {}, "%"}, "≥ 20 · ≤ 80 %"},
        {"a size",
         {{{"min_width", 358}, {"min_height", 441}}, {}, "px"},
         "≥ width 358 · ≥ height 441 px"},
        {"a plain value, two decimals at most", {{{"value", 0.12345}}, {}, ""}, "0.12"},
        {"a named number", {{{"shade_difference", 12}}, {}, ""}, "shade difference 12"},
        {"a colour", {{}, {{"colour", "blue"}}, ""}, "blue"},
        {"HSV", {{{"hue", 200}}, {}, "hsv"}, "hue 200 (HSV)"},
    };
    for (const auto& row : rows) EXPECT_EQ(QuantityText(row.quantity), row.text) << row.description;
}
