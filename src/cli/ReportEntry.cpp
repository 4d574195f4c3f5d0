#include "cli/ReportEntry.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "core/audit/Verdict.h"

namespace quorvel::cli {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The unit of a trace value by its label, and how many decimals it is worth.
struct Shape {
    const char* unit;
    int decimals;
    double factor = 1;
};

Shape ShapeOf(std::string_view label) {
    if (label == "file_length") return {"B", 0};
    if (EndsWith(label, ".coverage")) return {"%", 1, 100};
    if (label == "background.hsv.hue") return {"°", 1};
    if (StartsWith(label, "background.hsv.")) return {"", 2};
    if (label == "background.areas" || label == "background.mean_area") return {"px²", 0};
    if (StartsWith(label, "photo.") || StartsWith(label, "faces") ||
        StartsWith(label, "crop.frame") || StartsWith(label, "crop.scaled") ||
        StartsWith(label, "crop.extraction") || StartsWith(label, "crop.padding") ||
        label == "crop.head_top_row" || label == "crop.head_room" || label == "crop.output_width") {
        return {"px", 0};
    }
    return {"", 3};
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

// The text of one value: each number of it rounded and scaled, then the unit.
std::string Shaped(std::string_view label, const std::string& text) {
    const Shape shape = ShapeOf(label);
    std::string out;
    bool numeric = false;
    const char* at = text.c_str();
    while (*at != '\0') {
        char* end = nullptr;
        const double value = std::strtod(at, &end);
        const bool startsNumber = (*at >= '0' && *at <= '9') || *at == '-';
        if (startsNumber && end != at) {
            out += Rounded(value * shape.factor, shape.decimals);
            numeric = true;
            at = end;
        } else if (*at == '[' || *at == ']') {
            ++at;
        } else if (*at == ',') {
            out += ", ";
            ++at;
        } else {
            out += *at++;
        }
    }
    if (!numeric) return text;
    if (label == "file_length") {
        return out + " B (" + FormatNumber(std::strtod(text.c_str(), nullptr) / 1024, 1) + " KB)";
    }
    if (*shape.unit != '\0') out += std::string(" ") + shape.unit;
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> RoundedValues(const AuditTrace& trace) {
    std::vector<std::pair<std::string, std::string>> values = FlatValues(TraceJson(trace));
    for (auto& [label, text] : values) text = Shaped(label, text);
    return values;
}

HtmlPhotoEntry ReportEntry(const PhotoReport& report, const cv::Mat& photo) {
    const AuditReport& audit = report.audit;
    HtmlPhotoEntry entry;
    entry.path = report.file;
    entry.file = report.file.string();
    entry.state = VerdictNumber(audit.verdict);
    entry.reason = report.reason;
    if (audit.verdict == Verdict::Passed && report.error) {
        entry.reason.advice = kNotSavedAdvice;
        entry.reason.adviceEn = kNotSavedAdviceEn;
    }
    entry.face = audit.face;
    entry.error = report.error;
    entry.savedPath = report.savedPath;
    entry.processed = audit.processedPhoto;
    const AuditTrace trace = audit.trace.value_or(AuditTrace{});
    if (!audit.face && trace.faces) entry.faces = *trace.faces;
    if (trace.crop) {
        entry.headTopRow = trace.crop->headTopRow;
        const std::optional<FrameSearch>& search = trace.crop->search;
        if (search && search->accepted && !audit.processedPhoto.empty()) {
            const int width = search->frame.width();
            entry.cropFrame =
                cv::Rect(search->frame.left, search->frame.top, width,
                         width * audit.processedPhoto.rows / audit.processedPhoto.cols);
        }
    }
    entry.values = RoundedValues(trace);
    entry.photo = photo;
    return entry;
}

namespace {

std::optional<Quantity> QuantityOf(const nlohmann::json& value) {
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

std::string TextOf(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

HtmlPhotoEntry ReportEntryOfLine(const nlohmann::json& line) {
    HtmlPhotoEntry entry;
    entry.file = TextOf(line, "file");
    entry.path = entry.file;
    entry.state = line.value("state", 0);
    if (const auto reason = line.find("reason"); reason != line.end() && reason->is_object()) {
        entry.reason.rule = TextOf(*reason, "rule");
        entry.reason.text = TextOf(*reason, "text");
        entry.reason.textEn = TextOf(*reason, "text_en");
        entry.reason.measured = QuantityOf(reason->value("measured", nlohmann::json()));
        entry.reason.limit = QuantityOf(reason->value("limit", nlohmann::json()));
    }
    if (const auto face = line.find("face");
        face != line.end() && face->is_array() && face->size() == 4 &&
        std::all_of(face->begin(), face->end(), [](auto& v) { return v.is_number_integer(); })) {
        entry.face = cv::Rect((*face)[0].get<int>(), (*face)[1].get<int>(), (*face)[2].get<int>(),
                              (*face)[3].get<int>());
    }
    if (const auto processed = line.find("processed");
        processed != line.end() && processed->is_object()) {
        const std::string saved = TextOf(*processed, "path");
        if (!saved.empty()) entry.savedPath = saved;
    }
    if (const std::string error = TextOf(line, "error"); !error.empty()) entry.error = error;
    if (const auto trace = line.find("trace"); trace != line.end() && trace->is_object()) {
        entry.values = FlatValues(*trace);
        for (auto& [label, text] : entry.values) text = Shaped(label, text);
    }
    return entry;
}

}  // namespace quorvel::cli
