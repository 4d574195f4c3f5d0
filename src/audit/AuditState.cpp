#include "audit/AuditState.h"

namespace {

struct StateInfo {
    const char* name;
    const wchar_t* logText;
    int pictureId;
};

constexpr StateInfo kStates[kAuditStateCount] = {
    {"AUDIT_INITIAL", nullptr, 137},
    {"AUDIT_PASSED", L"图像审核成功！", 131},
    {"AUDIT_BAD_BACKGROUND", L"不是纯背景，或者不是红蓝白！", 134},
    {"AUDIT_BAD_FORMAT", L"文件格式不符合要求！", 132},
    {"AUDIT_NO_FACE", L"不是纯背景，或者背景复杂，识别出错！", 136},
    {"AUDIT_BAD_PROPORTION", L"图像比例不符合要求！", 135},
    {"AUDIT_TOO_SMALL", L"图像大小或者尺寸不符合要求！", 133},
};

bool IsValid(int state) { return state >= 0 && state < kAuditStateCount; }

}  // namespace

const wchar_t* VerdictLogText(int state) {
    return IsValid(state) ? kStates[state].logText : nullptr;
}

int ScreenPictureId(int state) { return IsValid(state) ? kStates[state].pictureId : 0; }

const char* AuditStateName(int state) { return IsValid(state) ? kStates[state].name : ""; }
