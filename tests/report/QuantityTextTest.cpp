#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli/output/JsonReport.h"
#include "cli/run/EarlierResults.h"
#include "core/explain/Quantity.h"

using namespace quorvel;

namespace {

// A trace that reached every stage, the crop accepted.
AuditTrace FullTrace() {
    AuditTrace trace;
    trace.photoSize = cv::Size(480, 640);
    trace.faces = std::vector<cv::Rect>{{134, 304, 185, 185}, {10, 20, 30, 30}};
    trace.fileLength = 44239;
    BackgroundTrace bg;
    bg.sampleRgb = cv::Vec3b(66, 142, 218);
    bg.hsv = Hsv{210.4567, 0.6972, 0.8549, true};
    bg.backgroundClass = BackgroundColor::Blue;
    bg.fills = BackgroundFills{{100000, 120000, 110000}, 110000, 0.46317};
    trace.background = bg;
    CropTrace crop;
    crop.headTopRow = 250;
    FrameSearch search;
    search.headRoom = 40;
    search.accepted = true;
    search.pass = 'B';
    search.trials = 7;
    search.headRoomFactor = 1.25;
    search.spread = -0.0001;
    search.minimumSpread = 0.333333;
    search.scale = 0.8;
    search.frame = CandidateFrame{100, 200, 400, true};
    search.outputWidth = 358;
    crop.search = search;
    crop.extraction = ExtractionPlan{cv::Size(384, 512), cv::Rect(1, 2, 358, 441), 0, 3};
    trace.crop = crop;
    return trace;
}

std::string TextOf(const std::vector<MeasuredValue>& values, const std::string& label) {
    for (const MeasuredValue& value : values) {
        if (value.label == label) return QuantityText(value);
    }
    return "(none)";
}

}  // namespace

TEST(QuantityText, MeasuredValuesCarryTheirUnits) {
    AuditTrace trace = FullTrace();
    trace.crop->search->scale = std::nan("");
    const std::vector<MeasuredValue> values = MeasuredValues(trace);
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
        {"crop.s", "0"},  // no "-0"
        {"crop.u", "0.333"},
        {"crop.t", "null"},  // not a number: as the results line shows it
        {"crop.frame.width", "300 px"},
        {"crop.extraction", "1, 2, 358, 441 px"},
    };
    for (const auto& row : rows) EXPECT_EQ(TextOf(values, row.label), row.text) << row.label;
    EXPECT_EQ(TextOf(MeasuredValues(AuditTrace{}), "faces"), "[]") << "no face list";
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

// A card of an earlier run shows the values a card of this run shows.
TEST(QuantityText, ResultsLineGivesBackTheTrace) {
    AuditTrace partial;
    partial.photoSize = cv::Size(300, 400);
    partial.faces = std::vector<cv::Rect>{};
    AuditTrace unaccepted = FullTrace();
    unaccepted.crop->search->accepted = false;
    unaccepted.background->fills.reset();
    for (const AuditTrace& trace : {FullTrace(), partial, unaccepted, AuditTrace{}}) {
        const std::vector<MeasuredValue> expected = MeasuredValues(trace);
        const std::vector<MeasuredValue> rebuilt = MeasuredValues(
            cli::TraceOfJson(nlohmann::json::parse(JsonLine(cli::TraceJson(trace)))));
        ASSERT_EQ(rebuilt.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(rebuilt[i].label, expected[i].label);
            EXPECT_EQ(QuantityText(rebuilt[i]), QuantityText(expected[i])) << expected[i].label;
        }
    }
}
