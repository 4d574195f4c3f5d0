#pragma once

#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/analysis/Background.h"
#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"
#include "core/explain/Quantity.h"
#include "core/io/DecodingCost.h"
#include "core/rules/Decision.h"

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

// The next step for a passed photo whose save failed or was refused.
inline constexpr const char* kNotSavedAdvice = "请检查输出文件夹和文件名，然后重新保存";
inline constexpr const char* kNotSavedAdviceEn =
    "check the output folder and the file name, then save again";

// The explanation of a rule's decision: its sentences, looked up by its rule
// and filled with the figures it measured and its limit; nothing but the
// rule for a rule it does not know.
Explanation ExplainDecision(const RuleDecision& decision);

// The explanation of an audit: that of the rule that decided.
inline Explanation ExplainAudit(const AuditReport& report) {
    return ExplainDecision(report.decision);
}

// A file whose structure asks of the decoder more than a cap allows, for the
// verifier's check and the audit's decision alike (CostExplanation.cpp).
Explanation ExplainDecodingCost(const CostExcess& excess);

// The names of a background class, in Chinese ("蓝色") and English ("blue");
// Any names all three.
std::string ColourNameZh(BackgroundColor colour);
std::string ColourNameEn(BackgroundColor colour);

}  // namespace quorvel
