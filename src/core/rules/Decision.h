#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "core/common/Quantity.h"
#include "core/config/Settings.h"
#include "core/io/DecodingCost.h"

namespace quorvel {

struct Hsv;

// The stable rule identifiers.
namespace rule_id {
inline constexpr const char* kPassed = "passed";
inline constexpr const char* kUnreadable = "file.unreadable";
inline constexpr const char* kAuditFailed = "audit.failed";
inline constexpr const char* kPixelCap = "file.pixels";    // the header claims too many pixels
inline constexpr const char* kDecodingCost = "file.cost";  // decoding would cost beyond a cap
inline constexpr const char* kNoFace = "face.none";
inline constexpr const char* kFaceCount = "face.count";
inline constexpr const char* kFileLength = "file.length";
inline constexpr const char* kPhotoSize = "photo.size";
inline constexpr const char* kBackgroundColour = "background.colour";
inline constexpr const char* kBackgroundSetting = "background.setting";
inline constexpr const char* kBackgroundCoverage = "background.coverage";
inline constexpr const char* kSizeSetting = "size.setting";
inline constexpr const char* kFaceShare = "face.share";
inline constexpr const char* kHeadTop = "head.top";
inline constexpr const char* kCropFrame = "crop.frame";
// Advice only, never a verdict: the face may not be sharp enough.
inline constexpr const char* kClarity = "photo.clarity";
}  // namespace rule_id

// What a rule decided: its identifier, the value it measured and the limit
// it held it to, as it computed them (none where they do not apply). The
// explanation's sentences are looked up from it (ExplainDecision).
struct RuleDecision {
    std::string rule;
    std::optional<Quantity> measured;
    std::optional<Quantity> limit;
    // What the sentences name besides the figures: the background class
    // found, why a broken audit broke, the decoding cap a file exceeds.
    std::optional<BackgroundColor> colour;
    std::string detail;
    std::optional<CostExcess> cost;
};

// Which check ended the failed trials of a frame search, one count per trial:
// the frame for the least spread, the preferred frame that had to be
// narrowed, or the widest frame tried reached past the photo's top edge, its
// bottom edge or a side (counted in that order); or a frame that fitted was
// so narrow that it needed enlarging by the limit or more.
struct FrameMisses {
    int top = 0;
    int bottom = 0;
    int side = 0;
    int enlarge = 0;
};

// The size a photo's header claims.
struct ClaimedSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Each rule's decision, from the values it measured.
RuleDecision DecideFileLength(std::uintmax_t length);
RuleDecision DecidePhotoSize(cv::Size size, SizeMode mode);
RuleDecision DecideBackgroundColour(const Hsv& hsv);
RuleDecision DecideBackgroundSetting(BackgroundColor found, BackgroundColor setting);
RuleDecision DecideCoverage(BackgroundColor found, double coverage);
RuleDecision DecideFaceCount(std::size_t count);
RuleDecision DecideFaceShare(double share);
RuleDecision DecideSizeSetting(int setting);
RuleDecision DecideHeadTop();
RuleDecision DecideCropFrame(int trials, const FrameMisses& misses = {});
RuleDecision DecideUnreadable();
RuleDecision DecidePixelCap(ClaimedSize claimed);
RuleDecision DecideDecodingCost(const CostExcess& excess);  // in explain/CostExplanation.cpp
RuleDecision DecideAuditFailed(const std::string& error);
RuleDecision DecidePassed(cv::Size output, SizeMode mode);
// The face's clarity below the advised least one.
RuleDecision DecideClarity(double clarity, double advised);

}  // namespace quorvel
