#pragma once

#include <optional>
#include <string_view>

namespace quorvel {

// The verdict of one audit. The numbers are stored in logs and JSON lines,
// so they are fixed.
enum class Verdict : int {
    Initial = 0,  // nothing audited yet
    Passed = 1,
    BadBackground = 2,
    BadFormat = 3,
    NoFace = 4,
    BadProportion = 5,
    TooSmall = 6,
};

inline constexpr int kVerdictCount = 7;

// The verdict with the given number, or nothing outside 0..6.
std::optional<Verdict> VerdictFromNumber(int number);

constexpr int VerdictNumber(Verdict verdict) { return static_cast<int>(verdict); }

// The name shown in JSON lines, e.g. "AUDIT_PASSED".
std::string_view VerdictName(Verdict verdict);

// The text written to the log after the file name (UTF-8); empty for Initial.
std::string_view VerdictLogText(Verdict verdict);

}  // namespace quorvel
