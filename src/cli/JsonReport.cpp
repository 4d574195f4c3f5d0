#include "cli/JsonReport.h"

namespace {

JsonObject RectJson(const cv::Rect& rect) {
    return JsonObject::array({rect.x, rect.y, rect.width, rect.height});
}

JsonObject SizeJson(const cv::Size& size) {
    return JsonObject{{"width", size.width}, {"height", size.height}};
}

const char* BackgroundClassName(int backgroundClass) {
    switch (backgroundClass) {
        case BG_WHITE:
            return "BG_WHITE";
        case BG_RED:
            return "BG_RED";
        case BG_BLUE:
            return "BG_BLUE";
        default:
            return nullptr;
    }
}

JsonObject BackgroundJson(const BackgroundTrace& bg) {
    JsonObject json;
    json["accepted_colour"] = bg.colourStagePassed;
    const char* className = BackgroundClassName(bg.backgroundClass);
    json["class"] = className != nullptr ? JsonObject(bg.backgroundClass) : JsonObject();
    json["class_name"] = className != nullptr ? JsonObject(className) : JsonObject();
    json["sample_rgb"] = JsonObject::array({bg.sampleRgb[0], bg.sampleRgb[1], bg.sampleRgb[2]});
    json["hsv"] = JsonObject{{"hue", bg.hsv.hueDefined ? JsonObject(bg.hsv.hue) : JsonObject()},
                             {"saturation", bg.hsv.saturation},
                             {"value", bg.hsv.value}};
    // The fills run only once the colour is accepted.
    if (bg.colourStagePassed) {
        json["areas"] = JsonObject::array({bg.areas[0], bg.areas[1], bg.areas[2]});
        json["mean_area"] = bg.meanArea;
        json["coverage"] = bg.coverage;
    } else {
        json["areas"] = nullptr;
        json["mean_area"] = nullptr;
        json["coverage"] = nullptr;
    }
    return json;
}

JsonObject CropJson(const CropTrace& crop) {
    JsonObject json;
    json["head_top_row"] = crop.headTopFound ? JsonObject(crop.headTopRow) : JsonObject();
    json["head_room"] = crop.headTopFound ? JsonObject(crop.headRoom) : JsonObject();
    json["trials"] = crop.trials;
    json["accepted"] = crop.accepted;
    if (crop.accepted) {
        json["pass"] = std::string(1, crop.pass);
        json["k"] = crop.k;
        json["s"] = crop.s;
        json["u"] = crop.u;
        json["t"] = crop.t;
        json["frame"] = JsonObject{{"left", crop.left},
                                   {"top", crop.top},
                                   {"right", crop.right},
                                   {"width", crop.right - crop.left}};
        json["output_width"] = crop.outputWidth;
        json["scaled"] = SizeJson(crop.scaled);
        json["extraction"] = RectJson(crop.extraction);
        json["padding"] = JsonObject{{"columns", crop.padColumns}, {"rows", crop.padRows}};
    } else {
        for (const char* key : {"pass", "k", "s", "u", "t", "frame", "output_width", "scaled",
                                "extraction", "padding"}) {
            json[key] = nullptr;
        }
    }
    return json;
}

}  // namespace

JsonObject TraceJson(const AuditTrace& trace, const AuditResult& result) {
    JsonObject json;
    const bool decoded = trace.photoSize.area() > 0;
    json["photo"] = decoded ? SizeJson(trace.photoSize) : JsonObject();
    JsonObject faces = JsonObject::array();
    for (const cv::Rect& face : trace.faces) faces.push_back(RectJson(face));
    json["faces"] = std::move(faces);
    // The length is read only once a face was chosen, and not at all when
    // the file could no longer be opened.
    const bool lengthRead = result.face.has_value() && result.state != AUDIT_BAD_FORMAT;
    json["file_length"] = lengthRead ? JsonObject(trace.fileLength) : JsonObject();
    json["background"] = trace.backgroundChecked ? BackgroundJson(trace.background) : JsonObject();
    json["crop"] = trace.cropAttempted ? CropJson(trace.crop) : JsonObject();
    return json;
}

JsonObject PhotoJson(const PhotoReport& report) {
    JsonObject json;
    json["file"] = report.file;
    json["state"] = report.result.state;
    json["verdict"] = AuditStateName(report.result.state);
    json["face"] = report.result.face ? RectJson(*report.result.face) : JsonObject();
    if (report.processedSize) {
        json["processed"] =
            JsonObject{{"width", report.processedSize->width},
                       {"height", report.processedSize->height},
                       {"path", report.savedPath ? JsonObject(*report.savedPath) : JsonObject()}};
    } else {
        json["processed"] = nullptr;
    }
    if (report.error) json["error"] = *report.error;
    if (report.trace != nullptr) json["trace"] = TraceJson(*report.trace, report.result);
    return json;
}

JsonObject MarkerJson(const std::string& file, bool marker,
                      const std::optional<std::string>& error) {
    JsonObject json{{"file", file}, {"marker", marker}};
    if (error) json["error"] = *error;
    return json;
}

JsonObject GenuineJson(const std::string& file, bool marker, bool genuine,
                       const std::vector<std::string>& problems,
                       const std::optional<std::string>& error) {
    JsonObject json{{"file", file}, {"marker", marker}, {"genuine", genuine}};
    json["problems"] = problems;
    if (error) json["error"] = *error;
    return json;
}

namespace {

void Flatten(const JsonObject& value, const std::string& label,
             std::vector<std::pair<std::string, std::string>>& out) {
    if (value.is_null()) return;
    if (value.is_object()) {
        for (const auto& [key, item] : value.items()) {
            Flatten(item, label.empty() ? key : label + "." + key, out);
        }
        return;
    }
    if (value.is_array() && !value.empty() && value.front().is_structured()) {
        for (std::size_t i = 0; i < value.size(); ++i) {
            Flatten(value[i], label + "[" + std::to_string(i) + "]", out);
        }
        return;
    }
    out.emplace_back(label, value.is_string() ? value.get<std::string>() : JsonLine(value));
}

}  // namespace

std::vector<std::pair<std::string, std::string>> FlatValues(const JsonObject& object) {
    std::vector<std::pair<std::string, std::string>> values;
    Flatten(object, "", values);
    return values;
}

JsonObject SettingsJson(int color, int size) {
    return JsonObject{{"color", color}, {"size", size}};
}

std::string JsonLine(const JsonObject& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
