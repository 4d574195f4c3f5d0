#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>

#include "cli/output/Streams.h"
#include "core/audit/Verdict.h"

namespace quorvel::cli {

// Clears the line shown in place, before a message takes its place.
inline constexpr const char* kClearLine = "\r\033[K";

// Where a run stands.
struct RunCounts {
    std::size_t done = 0;
    std::size_t total = 0;
    std::size_t passed = 0;
    std::size_t earlier = 0;        // photos the results held from earlier runs (--resume)
    std::size_t earlierPassed = 0;  // of which passed
};

// After each photo: "[3/10] a.jpg: AUDIT_PASSED -> out/a.jpg" as a line, or
// in place the rate, the time left and the counts; nothing with None.
void ShowProgress(std::ostream& err, ProgressStyle style, const RunCounts& counts,
                  std::chrono::steady_clock::time_point started, const std::filesystem::path& file,
                  Verdict verdict, const std::optional<std::filesystem::path>& saved);

// At the end: "10 photos, 7 passed, 3 not passed" unless style is None;
// after --resume over the whole results file, "..., 8 of them from earlier
// runs".
void ShowSummary(std::ostream& err, ProgressStyle style, const RunCounts& counts);

}  // namespace quorvel::cli
