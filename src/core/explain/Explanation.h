#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis/Background.h"
#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"
#include "core/explain/Quantity.h"

namespace quorvel {

// Why an audit (or a check of the verifier) came out as it did: the rule
// that decided, by a stable identifier; what was measured and the limit it
// was held to (none where they do not apply); for a pass the output size;
// one short sentence in Chinese and one in English; and what the applicant
// should do next, in both languages.
struct Explanation {
    std::string rule;
    std::optional<Quantity> measured;
    std::optional<Quantity> limit;
    std::optional<cv::Size> output;
    std::string text;
    std::string textEn;
    std::string advice;
    std::string adviceEn;
};

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
}  // namespace rule_id

// The next step for a passed photo whose save failed or was refused.
inline constexpr const char* kNotSavedAdvice = "请检查输出文件夹和文件名，然后重新保存";
inline constexpr const char* kNotSavedAdviceEn =
    "check the output folder and the file name, then save again";

// The explanation of an audit, from the verdict and what the audit measured
// (its trace; without one the sentences still name the rule).
Explanation ExplainAudit(const AuditReport& report, const Settings& settings);

// One rule each, from measured values, for the audit and the verifier alike.
Explanation ExplainFileLength(std::uintmax_t length);
Explanation ExplainPhotoSize(cv::Size size, SizeMode mode);
Explanation ExplainBackgroundColour(const Hsv& hsv);
Explanation ExplainBackgroundSetting(BackgroundColor found, BackgroundColor setting);
Explanation ExplainCoverage(BackgroundColor found, double coverage);
Explanation ExplainFaceCount(std::size_t count);
Explanation ExplainFaceShare(double share);
Explanation ExplainSizeSetting(int setting);
Explanation ExplainHeadTop();
// Which way no frame fits, from the check that ended most trials (ties:
// top, bottom, enlarging, sides); without misses the sentence only says that
// none fits.
Explanation ExplainCropFrame(int trials, const FrameMisses& misses = {});
Explanation ExplainUnreadable();
// A file whose structure asks of the decoder more than a cap allows.
Explanation ExplainDecodingCost(const CostExcess& excess);
Explanation ExplainAuditFailed(const std::string& error);
Explanation ExplainPassed(cv::Size output, SizeMode mode);

// The names of a background class, in Chinese ("蓝色") and English ("blue");
// Any names all three.
std::string ColourNameZh(BackgroundColor colour);
std::string ColourNameEn(BackgroundColor colour);

}  // namespace quorvel
