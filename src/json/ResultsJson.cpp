#include "json/ResultsJson.h"

#include <cmath>
#include <cstdint>
#include <set>
#include <span>
#include <string>

#include "core/audit/Verdict.h"
#include "core/results/Measures.h"
#include "json/LineIdentity.h"
#include "json/ReasonJson.h"

namespace quorvel {

namespace {

using Json = JsonObject;

// ---- One value ------------------------------------------------------------

JsonObject ValueJson(const Measure& measure, const MeasureValue& value) {
    auto whole = [](double number) { return JsonObject(static_cast<std::int64_t>(number)); };
    switch (measure.kind) {
        case MeasureKind::Integer:
            return whole(value.numbers.at(0));
        case MeasureKind::Number:
            return JsonObject(value.numbers.at(0));
        case MeasureKind::Truth:
            return JsonObject(value.truth);
        case MeasureKind::Word:
            return JsonObject(value.word);
        case MeasureKind::Integers:
            break;
        case MeasureKind::Rects: {
            JsonObject rects = JsonObject::array();
            for (std::size_t i = 0; i + 3 < value.numbers.size(); i += 4) {
                rects.push_back({whole(value.numbers[i]), whole(value.numbers[i + 1]),
                                 whole(value.numbers[i + 2]), whole(value.numbers[i + 3])});
            }
            return rects;
        }
    }
    JsonObject list = JsonObject::array();
    for (const double number : value.numbers) list.push_back(whole(number));
    return list;
}

// Whether a value is one the results can hold: numbers all finite.
bool HasValue(const std::optional<MeasureValue>& value) {
    if (!value) return false;
    for (const double number : value->numbers) {
        if (!std::isfinite(number)) return false;
    }
    return true;
}

bool AllNumbers(const Json& list, std::size_t size) {
    if (!list.is_array() || list.size() != size) return false;
    for (const Json& item : list) {
        if (!item.is_number()) return false;
    }
    return true;
}

std::optional<MeasureValue> ValueOf(const Measure& measure, const Json& json) {
    MeasureValue value;
    switch (measure.kind) {
        case MeasureKind::Integer:
        case MeasureKind::Number:
            if (!json.is_number()) return std::nullopt;
            value.numbers = {json.get<double>()};
            return value;
        case MeasureKind::Truth:
            if (!json.is_boolean()) return std::nullopt;
            value.truth = json.get<bool>();
            return value;
        case MeasureKind::Word:
            if (!json.is_string()) return std::nullopt;
            value.word = json.get<std::string>();
            return value;
        case MeasureKind::Integers:
            if (!AllNumbers(json, json.is_array() ? json.size() : 0)) return std::nullopt;
            for (const Json& item : json) value.numbers.push_back(item.get<double>());
            return value;
        case MeasureKind::Rects:
            if (!json.is_array()) return std::nullopt;
            // A rectangle that is not four numbers reads as an empty one.
            for (const Json& rect : json) {
                for (std::size_t i = 0; i < 4; ++i) {
                    value.numbers.push_back(AllNumbers(rect, 4) ? rect[i].get<double>() : 0);
                }
            }
            return value;
    }
    return std::nullopt;
}

// ---- Keys with levels -------------------------------------------------------

// "frame.left": the group "frame" and the key "left"; no group for "left".
std::pair<std::string, std::string> Split(const std::string& key) {
    const std::size_t dot = key.find('.');
    if (dot == std::string::npos) return {"", key};
    return {key.substr(0, dot), key.substr(dot + 1)};
}

const Json* Find(const Json& object, const std::string& key) {
    const auto [group, leaf] = Split(key);
    const Json* holder = &object;
    if (!group.empty()) {
        const auto found = object.find(group);
        if (found == object.end() || !found->is_object()) return nullptr;
        holder = &*found;
    }
    const auto found = holder->find(leaf);
    return found != holder->end() ? &*found : nullptr;
}

// The object that holds a stage's values: its own, or the trace itself.
JsonObject& Holder(JsonObject& trace, const MeasureStage& stage) {
    if (stage.key == nullptr) return trace;
    JsonObject& holder = trace[stage.key];
    if (!holder.is_object()) holder = JsonObject::object();
    return holder;
}

// The key a value has in the results as first written: its former key, its
// own, or none when it was added since.
const char* FirstKey(const Measure& measure) {
    if (measure.formerKey != nullptr) return measure.formerKey;
    return measure.absence == Absence::Null ? measure.key : nullptr;
}

// The values of `measures` in a report, nothing where not measured.
std::vector<std::optional<MeasureValue>> ValuesOf(std::span<const Measure> measures,
                                                  const AuditReport& report) {
    std::vector<std::optional<MeasureValue>> values;
    for (const Measure& measure : measures) {
        values.push_back(measure.stage->reached(report) ? measure.read(report) : std::nullopt);
    }
    return values;
}

// Writes the keys of the first results into `object`, each where it always
// was and null when absent; a group of them ("frame") is null as a whole
// when none of its values is there, a stage's object when the audit did not
// reach it.
void WriteFirstKeys(std::span<const Measure> measures, const AuditReport& report,
                    JsonObject& object) {
    const std::vector<std::optional<MeasureValue>> values = ValuesOf(measures, report);
    auto groupHasValue = [&](const MeasureStage* stage, const std::string& group) {
        for (std::size_t i = 0; i < measures.size(); ++i) {
            const char* key = FirstKey(measures[i]);
            if (measures[i].stage == stage && key != nullptr && Split(key).first == group &&
                values[i]) {
                return true;
            }
        }
        return false;
    };
    for (std::size_t i = 0; i < measures.size(); ++i) {
        const Measure& measure = measures[i];
        const char* key = FirstKey(measure);
        if (key == nullptr) continue;
        if (!measure.stage->reached(report)) {
            if (measure.stage->key != nullptr) object[measure.stage->key] = nullptr;
            continue;
        }
        JsonObject& holder = Holder(object, *measure.stage);
        const JsonObject json = values[i] ? ValueJson(measure, *values[i]) : JsonObject();
        const auto [group, leaf] = Split(key);
        if (group.empty()) {
            holder[leaf] = json;
        } else if (!groupHasValue(measure.stage, group)) {
            holder[group] = nullptr;
        } else {
            holder[group][leaf] = json;
        }
    }
}

// Appends the keys added since, each only when it has a value, after every
// key its object held before.
void AppendKeys(std::span<const Measure> measures, const AuditReport& report, JsonObject& object) {
    const std::vector<std::optional<MeasureValue>> values = ValuesOf(measures, report);
    for (std::size_t i = 0; i < measures.size(); ++i) {
        const Measure& measure = measures[i];
        if (measure.absence != Absence::Omitted || !HasValue(values[i])) continue;
        const auto [group, leaf] = Split(measure.key);
        JsonObject& holder = Holder(object, *measure.stage);
        (group.empty() ? holder[leaf] : holder[group][leaf]) = ValueJson(measure, *values[i]);
    }
}

// Puts the values `object` records back into the report, by name first,
// then by former key.
void ReadMeasures(std::span<const Measure> measures, const Json& object, AuditReport& report) {
    std::set<const MeasureStage*> entered;
    for (const Measure& measure : measures) {
        const Json* holder = &object;
        if (measure.stage->key != nullptr) {
            holder = Find(object, measure.stage->key);
            if (holder == nullptr || !holder->is_object()) continue;
            if (entered.insert(measure.stage).second) measure.stage->enter(report);
        }
        const Json* json = Find(*holder, measure.key);
        if ((json == nullptr || json->is_null()) && measure.formerKey != nullptr) {
            json = Find(*holder, measure.formerKey);
        }
        if (json == nullptr || measure.write == nullptr) continue;
        if (const std::optional<MeasureValue> value = ValueOf(measure, *json)) {
            measure.write(report, *value);
        }
    }
}

// ---- The line ---------------------------------------------------------------

const Json& Member(const Json& object, const char* key) {
    static const Json kNull;
    if (!object.is_object()) return kNull;
    const auto found = object.find(key);
    return found != object.end() ? *found : kNull;
}

std::string TextOf(const Json& object, const char* key) {
    const Json& value = Member(object, key);
    return value.is_string() ? value.get<std::string>() : std::string();
}

}  // namespace

JsonObject SettingsJson(const Settings& settings) {
    return JsonObject{{"color", static_cast<int>(settings.color)},
                      {"size", static_cast<int>(settings.size)}};
}

JsonObject TraceJson(const AuditReport& report) {
    JsonObject trace = JsonObject::object();
    WriteFirstKeys(TraceMeasures(), report, trace);
    AppendKeys(TraceMeasures(), report, trace);
    return trace;
}

AuditTrace TraceOfJson(const Json& trace) {
    AuditReport report;
    report.trace.emplace();
    ReadMeasures(TraceMeasures(), trace, report);
    return *report.trace;
}

JsonObject AuditLineJson(const PhotoOutcome& outcome, bool withTrace,
                         const std::optional<Settings>& settings) {
    const AuditReport& audit = outcome.audit;
    JsonObject json;
    json["file"] = outcome.file.string();
    json["state"] = VerdictNumber(audit.verdict);
    json["verdict"] = std::string(VerdictName(audit.verdict));
    WriteFirstKeys(LineMeasures(), audit, json);
    if (audit.verdict == Verdict::Passed) {
        json["processed"] = JsonObject{
            {"width", audit.processedPhoto.cols},
            {"height", audit.processedPhoto.rows},
            {"path", outcome.savedPath ? JsonObject(outcome.savedPath->string()) : JsonObject()}};
        if (outcome.savedPath) AppendSavedPathBytes(*outcome.savedPath, json["processed"]);
    } else {
        json["processed"] = nullptr;
    }
    if (outcome.error) json["error"] = outcome.error->message;
    json["reason"] = ReasonJson(outcome.reason);
    if (withTrace && audit.trace) json["trace"] = TraceJson(audit);
    if (settings) json["settings"] = SettingsJson(*settings);
    AppendKeys(LineMeasures(), audit, json);
    if (audit.advice) json["advice"] = ReasonJson(ExplainDecision(*audit.advice));
    AppendPhotoIdentity(outcome, json);
    return json;
}

PhotoOutcome AuditOutcomeOf(const Json& line) {
    PhotoOutcome outcome;
    AuditReport& audit = outcome.audit;
    outcome.file = TextOf(line, "file");
    const Json& state = Member(line, "state");
    audit.verdict = VerdictFromNumber(state.is_number_integer() ? state.get<int>() : 0)
                        .value_or(Verdict::Initial);
    ReadMeasures(LineMeasures(), line, audit);
    const Json& processed = Member(line, "processed");
    if (const std::string saved = TextOf(processed, "path"); !saved.empty()) {
        outcome.savedPath = saved;
    }
    const Json& width = Member(processed, "width");
    const Json& height = Member(processed, "height");
    if (width.is_number_integer() && height.is_number_integer()) {
        outcome.processedSize = cv::Size(width.get<int>(), height.get<int>());
    }
    if (const std::string error = TextOf(line, "error"); !error.empty()) {
        outcome.error = Fail(ErrorKind::BadContent, error);
    }
    if (Member(line, "trace").is_object()) {
        audit.trace.emplace();
        ReadMeasures(TraceMeasures(), Member(line, "trace"), audit);
    }
    if (const std::optional<Explanation> reason = ReasonOf(Member(line, "reason"))) {
        audit.decision.rule = reason->rule;
        audit.decision.measured = reason->measured;
        audit.decision.limit = reason->limit;
        // What the sentences name besides the figures, where the line has it.
        if (audit.trace && audit.trace->background) {
            audit.decision.colour = audit.trace->background->backgroundClass;
        }
        if (outcome.error) audit.decision.detail = outcome.error->message;
        // The sentences as recorded; the next step, which lines do not
        // record, looked up.
        outcome.reason = ExplainDecision(audit.decision);
        outcome.reason.text = reason->text;
        outcome.reason.textEn = reason->textEn;
    }
    if (const std::optional<Explanation> advice = ReasonOf(Member(line, "advice"))) {
        audit.advice.emplace();
        audit.advice->rule = advice->rule;
        audit.advice->measured = advice->measured;
        audit.advice->limit = advice->limit;
    }
    ReadPhotoIdentity(line, outcome);
    return outcome;
}

}  // namespace quorvel
