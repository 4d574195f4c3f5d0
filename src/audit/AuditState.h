#pragma once

// The verdict of one audit. The values are stored as plain integers in the
// window's m_nAuditState and select the screen picture, so they are fixed.
enum AuditState : int {
    AUDIT_INITIAL = 0,
    AUDIT_PASSED = 1,
    AUDIT_BAD_BACKGROUND = 2,
    AUDIT_BAD_FORMAT = 3,
    AUDIT_NO_FACE = 4,
    AUDIT_BAD_PROPORTION = 5,
    AUDIT_TOO_SMALL = 6,
};

inline constexpr int kAuditStateCount = 7;

// The text written to the log after the file name for a verdict;
// nullptr for AUDIT_INITIAL and for values outside 0..6.
const wchar_t* VerdictLogText(int state);

// The identifier of the screen picture painted for a state (131..137);
// 0 for values outside 0..6.
int ScreenPictureId(int state);

// The enumerator's name, e.g. "AUDIT_PASSED"; "" for values outside 0..6.
const char* AuditStateName(int state);
