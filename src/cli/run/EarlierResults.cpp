#include "cli/run/EarlierResults.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/audit/Verdict.h"

namespace quorvel::cli {

namespace {

using Json = nlohmann::json;

std::string TextOf(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// The member `key` when it is an object or array, else null.
const Json& Member(const Json& object, const char* key) {
    static const Json kNull;
    if (!object.is_object()) return kNull;
    const auto found = object.find(key);
    return found != object.end() ? *found : kNull;
}

template <class T>
std::optional<T> NumberOf(const Json& value) {
    if (!value.is_number()) return std::nullopt;
    return value.get<T>();
}

std::optional<cv::Rect> RectOf(const Json& value) {
    if (!value.is_array() || value.size() != 4 ||
        !std::all_of(value.begin(), value.end(), [](auto& v) { return v.is_number_integer(); })) {
        return std::nullopt;
    }
    return cv::Rect(value[0].get<int>(), value[1].get<int>(), value[2].get<int>(),
                    value[3].get<int>());
}

std::optional<Quantity> QuantityOf(const Json& value) {
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

std::optional<BackgroundColor> ClassOf(const Json& value) {
    for (const BackgroundColor colour : kBackgroundClasses) {
        if (value.is_number_integer() && value.get<int>() == static_cast<int>(colour)) {
            return colour;
        }
    }
    return std::nullopt;
}

BackgroundTrace BackgroundOf(const Json& json) {
    BackgroundTrace bg;
    bg.backgroundClass = ClassOf(Member(json, "class"));
    const Json& rgb = Member(json, "sample_rgb");
    for (std::size_t i = 0; i < 3 && rgb.is_array() && i < rgb.size(); ++i) {
        bg.sampleRgb[static_cast<int>(i)] = NumberOf<unsigned char>(rgb[i]).value_or(0);
    }
    const Json& hsv = Member(json, "hsv");
    const std::optional<double> hue = NumberOf<double>(Member(hsv, "hue"));
    bg.hsv.hueDefined = hue.has_value();
    bg.hsv.hue = hue.value_or(-1);
    bg.hsv.saturation = NumberOf<double>(Member(hsv, "saturation")).value_or(0);
    bg.hsv.value = NumberOf<double>(Member(hsv, "value")).value_or(0);
    const Json& areas = Member(json, "areas");
    if (areas.is_array() && areas.size() == 3) {
        BackgroundFills fills;
        for (std::size_t i = 0; i < 3; ++i) {
            fills.areas[i] = NumberOf<std::int64_t>(areas[i]).value_or(0);
        }
        fills.meanArea = NumberOf<std::uint64_t>(Member(json, "mean_area")).value_or(0);
        fills.coverage = NumberOf<double>(Member(json, "coverage")).value_or(0);
        bg.fills = fills;
    }
    return bg;
}

// The frame search and the cut, as far as the line records them.
void AcceptedCropOf(const Json& json, FrameSearch& search, CropTrace& crop) {
    const std::string pass = TextOf(json, "pass");
    search.accepted = true;
    search.pass = pass.empty() ? '\0' : pass.front();
    search.headRoomFactor = NumberOf<double>(Member(json, "k")).value_or(0);
    search.spread = NumberOf<double>(Member(json, "s")).value_or(0);
    search.minimumSpread = NumberOf<double>(Member(json, "u")).value_or(0);
    search.scale = NumberOf<double>(Member(json, "t")).value_or(0);
    const Json& frame = Member(json, "frame");
    search.frame.left = NumberOf<int>(Member(frame, "left")).value_or(0);
    search.frame.top = NumberOf<int>(Member(frame, "top")).value_or(0);
    search.frame.right = NumberOf<int>(Member(frame, "right")).value_or(0);
    search.outputWidth = NumberOf<int>(Member(json, "output_width")).value_or(0);
    ExtractionPlan plan;
    const Json& scaled = Member(json, "scaled");
    plan.scaled = cv::Size(NumberOf<int>(Member(scaled, "width")).value_or(0),
                           NumberOf<int>(Member(scaled, "height")).value_or(0));
    plan.rect = RectOf(Member(json, "extraction")).value_or(cv::Rect());
    const Json& padding = Member(json, "padding");
    plan.padColumns = NumberOf<int>(Member(padding, "columns")).value_or(0);
    plan.padRows = NumberOf<int>(Member(padding, "rows")).value_or(0);
    crop.extraction = plan;
}

CropTrace CropOf(const Json& json) {
    CropTrace crop;
    crop.headTopRow = NumberOf<int>(Member(json, "head_top_row"));
    const std::optional<int> headRoom = NumberOf<int>(Member(json, "head_room"));
    if (!headRoom) return crop;  // the search did not run
    FrameSearch search;
    search.headRoom = *headRoom;
    search.trials = NumberOf<int>(Member(json, "trials")).value_or(0);
    if (Member(json, "accepted") == true) AcceptedCropOf(json, search, crop);
    crop.search = search;
    return crop;
}

}  // namespace

AuditTrace TraceOfJson(const Json& json) {
    AuditTrace trace;
    const Json& photo = Member(json, "photo");
    if (photo.is_object()) {
        trace.photoSize = cv::Size(NumberOf<int>(Member(photo, "width")).value_or(0),
                                   NumberOf<int>(Member(photo, "height")).value_or(0));
    }
    const Json& faces = Member(json, "faces");
    if (faces.is_array() && !faces.empty()) {
        trace.faces.emplace();
        for (const Json& face : faces) trace.faces->push_back(RectOf(face).value_or(cv::Rect()));
    }
    trace.fileLength = NumberOf<std::uintmax_t>(Member(json, "file_length"));
    if (Member(json, "background").is_object()) {
        trace.background = BackgroundOf(Member(json, "background"));
    }
    if (Member(json, "crop").is_object()) trace.crop = CropOf(Member(json, "crop"));
    return trace;
}

report::PhotoOutcome OutcomeOfLine(const Json& line) {
    report::PhotoOutcome outcome;
    outcome.file = TextOf(line, "file");
    outcome.audit.verdict = VerdictFromNumber(line.value("state", 0)).value_or(Verdict::Initial);
    const Json& reason = Member(line, "reason");
    outcome.reason.rule = TextOf(reason, "rule");
    outcome.reason.text = TextOf(reason, "text");
    outcome.reason.textEn = TextOf(reason, "text_en");
    outcome.reason.measured = QuantityOf(Member(reason, "measured"));
    outcome.reason.limit = QuantityOf(Member(reason, "limit"));
    outcome.audit.face = RectOf(Member(line, "face"));
    if (const std::string saved = TextOf(Member(line, "processed"), "path"); !saved.empty()) {
        outcome.savedPath = saved;
    }
    if (const std::string error = TextOf(line, "error"); !error.empty()) {
        outcome.error = Fail(ErrorKind::BadContent, error);
    }
    if (Member(line, "trace").is_object()) outcome.audit.trace = TraceOfJson(Member(line, "trace"));
    return outcome;
}

}  // namespace quorvel::cli
