#include "core/audit/Verdict.h"

#include <array>

namespace quorvel {

namespace {

struct VerdictInfo {
    std::string_view name;
    std::string_view logText;
};

constexpr std::array<VerdictInfo, kVerdictCount> kVerdicts = {{
    {"AUDIT_INITIAL", ""},
    {"AUDIT_PASSED", "图像审核成功！"},
    {"AUDIT_BAD_BACKGROUND", "不是纯背景，或者不是红蓝白！"},
    {"AUDIT_BAD_FORMAT", "文件格式不符合要求！"},
    {"AUDIT_NO_FACE", "不是纯背景，或者背景复杂，识别出错！"},
    {"AUDIT_BAD_PROPORTION", "图像比例不符合要求！"},
    {"AUDIT_TOO_SMALL", "图像大小或者尺寸不符合要求！"},
}};

const VerdictInfo& InfoOf(Verdict verdict) {
    const auto index = static_cast<std::size_t>(VerdictNumber(verdict));
    return kVerdicts.at(index);
}

}  // namespace

std::optional<Verdict> VerdictFromNumber(int number) {
    if (number < 0 || number >= kVerdictCount) return std::nullopt;
    return static_cast<Verdict>(number);
}

std::string_view VerdictName(Verdict verdict) { return InfoOf(verdict).name; }

std::string_view VerdictLogText(Verdict verdict) { return InfoOf(verdict).logText; }

}  // namespace quorvel
