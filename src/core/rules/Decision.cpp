#include "core/rules/Decision.h"

#include <utility>
#include <vector>

#include "core/analysis/Background.h"
#include "core/rules/Rules.h"

namespace quorvel {

namespace {

using Numbers = std::vector<std::pair<std::string, double>>;

Quantity Amount(double value, std::string unit) { return Quantity{{{"value", value}}, {}, unit}; }

Quantity Range(Numbers numbers, std::string unit) { return Quantity{std::move(numbers), {}, unit}; }

Quantity SizeOf(cv::Size size) {
    return Quantity{{{"width", size.width}, {"height", size.height}}, {}, "px"};
}

const rules::SizeModeParams& ModeOrFirst(SizeMode mode) {
    return mode == SizeMode::Mode2 ? rules::kMode2 : rules::kMode1;
}

RuleDecision Decided(const char* rule, std::optional<Quantity> measured = std::nullopt,
                     std::optional<Quantity> limit = std::nullopt) {
    RuleDecision decision;
    decision.rule = rule;
    decision.measured = std::move(measured);
    decision.limit = std::move(limit);
    return decision;
}

}  // namespace

RuleDecision DecideFileLength(std::uintmax_t length) {
    return Decided(rule_id::kFileLength, Amount(static_cast<double>(length), "B"),
                   Range({{"min", static_cast<double>(rules::kMinFileLength)}}, "B"));
}

RuleDecision DecidePhotoSize(cv::Size size, SizeMode mode) {
    const rules::SizeModeParams& params = ModeOrFirst(mode);
    return Decided(rule_id::kPhotoSize, SizeOf(size),
                   Range({{quantity_name::kMinWidth, params.minPhotoWidth},
                          {quantity_name::kMinHeight, params.minPhotoHeight}},
                         "px"));
}

RuleDecision DecideBackgroundColour(const Hsv& hsv) {
    Quantity measured;
    if (hsv.hueDefined) measured.numbers.emplace_back("hue", hsv.hue);
    measured.numbers.emplace_back("saturation", hsv.saturation);
    measured.numbers.emplace_back("value", hsv.value);
    measured.unit = "hsv";
    return Decided(rule_id::kBackgroundColour, measured, ColourClassLimits());
}

RuleDecision DecideBackgroundSetting(BackgroundColor found, BackgroundColor setting) {
    const int number = static_cast<int>(setting);
    const bool acceptsNone = number < 0 || number > 3;
    RuleDecision decision = Decided(
        rule_id::kBackgroundSetting, Quantity{{}, {{"colour", NamesOf(found).en}}, ""},
        Quantity{
            {{"setting", number}}, {{"colour", acceptsNone ? "none" : NamesOf(setting).en}}, ""});
    decision.colour = found;
    return decision;
}

RuleDecision DecideCoverage(BackgroundColor found, double coverage) {
    RuleDecision decision = Decided(rule_id::kBackgroundCoverage, Amount(coverage * 100, "%"),
                                    Range({{"above", rules::kMinCoverageAbove * 100}}, "%"));
    decision.colour = found;
    return decision;
}

RuleDecision DecideFaceCount(std::size_t count) {
    return Decided(count == 0 ? rule_id::kNoFace : rule_id::kFaceCount,
                   Amount(static_cast<double>(count), "faces"),
                   Range({{"min", 1}, {"max", static_cast<double>(rules::kMaxFaces)}}, "faces"));
}

RuleDecision DecideFaceShare(double share) {
    return Decided(
        rule_id::kFaceShare, Amount(share * 100, "%"),
        Range({{"min", rules::kMinFaceShare * 100}, {"max", rules::kMaxFaceShare * 100}}, "%"));
}

RuleDecision DecideSizeSetting(int setting) {
    return Decided(rule_id::kSizeSetting, Quantity{{{"setting", setting}}, {}, ""},
                   Range({{"min", kSizeValues.least}, {"max", kSizeValues.most}}, ""));
}

RuleDecision DecideHeadTop() { return Decided(rule_id::kHeadTop); }

RuleDecision DecideCropFrame(int trials, const FrameMisses& misses) {
    return Decided(rule_id::kCropFrame, Quantity{{{"trials", trials},
                                                  {quantity_name::kPastTop, misses.top},
                                                  {quantity_name::kPastBottom, misses.bottom},
                                                  {quantity_name::kPastSide, misses.side},
                                                  {"enlarge", misses.enlarge}},
                                                 {},
                                                 ""});
}

RuleDecision DecideUnreadable() { return Decided(rule_id::kUnreadable); }

RuleDecision DecidePixelCap(ClaimedSize claimed) {
    return Decided(rule_id::kPixelCap,
                   Quantity{{{"width", static_cast<double>(claimed.width)},
                             {"height", static_cast<double>(claimed.height)}},
                            {},
                            "px"},
                   Quantity{{{"max", static_cast<double>(rules::kMaxPhotoPixels)}}, {}, "px"});
}

RuleDecision DecideAuditFailed(const std::string& error) {
    RuleDecision decision = Decided(rule_id::kAuditFailed);
    decision.detail = error;
    return decision;
}

RuleDecision DecideClarity(double clarity, double advised) {
    return Decided(rule_id::kClarity, Amount(clarity, ""), Range({{"min", advised}}, ""));
}

RuleDecision DecidePassed(cv::Size output, SizeMode mode) {
    const rules::SizeModeParams& params = ModeOrFirst(mode);
    return Decided(rule_id::kPassed, SizeOf(output),
                   Range({{quantity_name::kMinWidth, params.narrowWidth},
                          {quantity_name::kMaxWidth, params.wideWidth}},
                         "px"));
}

}  // namespace quorvel
