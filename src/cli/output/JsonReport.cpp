#include "cli/output/JsonReport.h"

namespace quorvel::cli {

namespace {

JsonObject RectJson(const cv::Rect& rect) {
    return JsonObject::array({rect.x, rect.y, rect.width, rect.height});
}

JsonObject SizeJson(const cv::Size& size) {
    return JsonObject{{"width", size.width}, {"height", size.height}};
}

JsonObject BackgroundJson(const BackgroundTrace& bg) {
    JsonObject json;
    json["accepted_colour"] = bg.fills.has_value();
    json["class"] =
        bg.backgroundClass ? JsonObject(static_cast<int>(*bg.backgroundClass)) : JsonObject();
    json["class_name"] =
        bg.backgroundClass ? JsonObject(NamesOf(*bg.backgroundClass).code) : JsonObject();
    json["sample_rgb"] = JsonObject::array({bg.sampleRgb[0], bg.sampleRgb[1], bg.sampleRgb[2]});
    json["hsv"] = JsonObject{{"hue", bg.hsv.hueDefined ? JsonObject(bg.hsv.hue) : JsonObject()},
                             {"saturation", bg.hsv.saturation},
                             {"value", bg.hsv.value}};
    // The fills run only once the colour is accepted.
    if (bg.fills) {
        const BackgroundFills& fills = *bg.fills;
        json["areas"] = JsonObject::array({fills.areas[0], fills.areas[1], fills.areas[2]});
        json["mean_area"] = fills.meanArea;
        json["coverage"] = fills.coverage;
    } else {
        json["areas"] = nullptr;
        json["mean_area"] = nullptr;
        json["coverage"] = nullptr;
    }
    return json;
}

JsonObject CropJson(const CropTrace& crop) {
    JsonObject json;
    const FrameSearch* search = crop.search ? &*crop.search : nullptr;
    json["head_top_row"] = crop.headTopRow ? JsonObject(*crop.headTopRow) : JsonObject();
    json["head_room"] = search != nullptr ? JsonObject(search->headRoom) : JsonObject();
    json["trials"] = search != nullptr ? search->trials : 0;
    const bool accepted = search != nullptr && search->accepted && crop.extraction;
    json["accepted"] = accepted;
    if (accepted) {
        const ExtractionPlan& plan = *crop.extraction;
        json["pass"] = std::string(1, search->pass);
        json["k"] = search->headRoomFactor;
        json["s"] = search->spread;
        json["u"] = search->minimumSpread;
        json["t"] = search->scale;
        json["frame"] = JsonObject{{"left", search->frame.left},
                                   {"top", search->frame.top},
                                   {"right", search->frame.right},
                                   {"width", search->frame.width()}};
        json["output_width"] = search->outputWidth;
        json["scaled"] = SizeJson(plan.scaled);
        json["extraction"] = RectJson(plan.rect);
        json["padding"] = JsonObject{{"columns", plan.padColumns}, {"rows", plan.padRows}};
    } else {
        for (const char* key : {"pass", "k", "s", "u", "t", "frame", "output_width", "scaled",
                                "extraction", "padding"}) {
            json[key] = nullptr;
        }
    }
    return json;
}

}  // namespace

JsonObject TraceJson(const AuditTrace& trace) {
    JsonObject json;
    json["photo"] = trace.photoSize ? SizeJson(*trace.photoSize) : JsonObject();
    JsonObject faces = JsonObject::array();
    if (trace.faces) {
        for (const cv::Rect& face : *trace.faces) faces.push_back(RectJson(face));
    }
    json["faces"] = std::move(faces);
    json["file_length"] = trace.fileLength ? JsonObject(*trace.fileLength) : JsonObject();
    json["background"] = trace.background ? BackgroundJson(*trace.background) : JsonObject();
    json["crop"] = trace.crop ? CropJson(*trace.crop) : JsonObject();
    return json;
}

JsonObject PhotoJson(const PhotoReport& report) {
    const AuditReport& audit = report.audit;
    JsonObject json;
    json["file"] = report.file.string();
    json["state"] = VerdictNumber(audit.verdict);
    json["verdict"] = std::string(VerdictName(audit.verdict));
    json["face"] = audit.face ? RectJson(*audit.face) : JsonObject();
    if (audit.verdict == Verdict::Passed) {
        json["processed"] = JsonObject{
            {"width", audit.processedPhoto.cols},
            {"height", audit.processedPhoto.rows},
            {"path", report.savedPath ? JsonObject(report.savedPath->string()) : JsonObject()}};
    } else {
        json["processed"] = nullptr;
    }
    if (report.error) json["error"] = report.error->message;
    json["reason"] = ReasonJson(report.reason);
    if (report.showTrace && audit.trace) json["trace"] = TraceJson(*audit.trace);
    if (report.settings) json["settings"] = SettingsJson(*report.settings);
    return json;
}

JsonObject SettingsJson(const Settings& settings) {
    return JsonObject{{"color", static_cast<int>(settings.color)},
                      {"size", static_cast<int>(settings.size)}};
}

JsonObject GenuineJson(const std::filesystem::path& file, const GenuineCheck& check,
                       bool everyCheck) {
    JsonObject json{{"file", file.string()}};
    json.update(VerificationJson(check, everyCheck));
    return json;
}

}  // namespace quorvel::cli
