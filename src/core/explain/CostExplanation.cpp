// The explanation of a file refused for what decoding it would cost.
#include "core/explain/Explanation.h"
#include "core/io/ImageHeader.h"

namespace quorvel {

Explanation ExplainDecodingCost(const CostExcess& excess) {
    const std::string format = ImageFormatName(excess.format);
    auto megabytes = [](double bytes) { return FormatNumber(bytes / (1024 * 1024), 0); };
    std::string text, textEn;
    Quantity measured, limit;
    switch (excess.kind) {
        case CostExcess::Kind::Scans: {
            const std::string count = FormatNumber(excess.measured, 0);
            const std::string cap = FormatNumber(excess.limit, 0);
            text = format + " 有 " + count + " 次扫描，超过上限 " + cap + " 次，未解码";
            textEn = "the " + format + " has " + count + " scans, more than the cap of " + cap +
                     "; not decoded";
            measured = Quantity{{{"scans", excess.measured}}, {}, ""};
            limit = Quantity{{{"max", excess.limit}}, {}, ""};
            break;
        }
        case CostExcess::Kind::CoefficientReads: {
            const std::string times = FormatNumber(excess.measured, 1);
            const std::string cap = FormatNumber(excess.limit, 0);
            text = format + " 的扫描把每个系数读 " + times + " 遍，超过上限 " + cap + " 遍，未解码";
            textEn = "the " + format + "'s scans read each coefficient " + times +
                     " times, more than the cap of " + cap + "; not decoded";
            measured = Quantity{{{quantity_name::kReadsPerCoefficient, excess.measured}}, {}, ""};
            limit = Quantity{{{"max", excess.limit}}, {}, ""};
            break;
        }
        case CostExcess::Kind::InflatedChunks:
        case CostExcess::Kind::ImageDataExcess: {
            const bool chunks = excess.kind == CostExcess::Kind::InflatedChunks;
            const std::string cap = megabytes(excess.limit);
            text = chunks ? format + " 的压缩文本块解压后超过上限 " + cap + " MB，未解码"
                          : format + " 的图像数据解压后比像素所需多出超过 " + cap + " MB，未解码";
            textEn = chunks ? "the " + format +
                                  "'s compressed text and profile chunks inflate to more than "
                                  "the cap of " +
                                  cap + " MB; not decoded"
                            : "the " + format +
                                  "'s image data inflates beyond its pixels by more than the "
                                  "cap of " +
                                  cap + " MB; not decoded";
            measured = Quantity{{{"value", excess.measured}}, {}, "B"};
            limit = Quantity{{{"max", excess.limit}}, {}, "B"};
            break;
        }
    }
    Explanation e;
    e.rule = rule_id::kDecodingCost;
    e.text = std::move(text);
    e.textEn = std::move(textEn);
    e.advice = "请换一张照片";
    e.adviceEn = "choose another photo";
    e.measured = std::move(measured);
    e.limit = std::move(limit);
    return e;
}

RuleDecision DecideDecodingCost(const CostExcess& excess) {
    Explanation explanation = ExplainDecodingCost(excess);
    RuleDecision decision;
    decision.rule = rule_id::kDecodingCost;
    decision.measured = std::move(explanation.measured);
    decision.limit = std::move(explanation.limit);
    decision.cost = excess;
    return decision;
}

}  // namespace quorvel
