#include "cli/output/Progress.h"

#include <cmath>
#include <cstdio>
#include <ostream>

#include "cli/output/NameText.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

// Minutes and seconds ("4:07"), or hours too ("1:02:03").
std::string Duration(double seconds) {
    const auto total = static_cast<long long>(std::llround(seconds));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long rest = total % 60;
    std::string text = hours > 0 ? std::to_string(hours) + ":" : std::string();
    text += (hours > 0 && minutes < 10 ? "0" : "") + std::to_string(minutes) + ":";
    return text + (rest < 10 ? "0" : "") + std::to_string(rest);
}

}  // namespace

void ShowProgress(std::ostream& err, ProgressStyle style, const RunCounts& counts,
                  std::chrono::steady_clock::time_point started, const fs::path& file,
                  Verdict verdict, const std::optional<fs::path>& saved) {
    if (style == ProgressStyle::None) return;
    const std::size_t done = counts.done;
    const std::size_t total = counts.total;
    const std::size_t passed = counts.passed;
    if (style == ProgressStyle::Lines) {
        err << "[" << done << "/" << total << "] " << TerminalText(file.native()) << ": "
            << VerdictName(verdict);
        if (saved) err << " -> " << TerminalText(saved->native());
        err << '\n';
        return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    const std::size_t left = total - done;
    char rateText[32];
    std::snprintf(rateText, sizeof(rateText), "%.1f", rate);
    err << kClearLine << "[" << done << "/" << total << "] " << rateText << " photos/s, "
        << (rate > 0 ? Duration(static_cast<double>(left) / rate) : std::string("?")) << " left, "
        << passed << " passed, " << (done - passed) << " rejected" << std::flush;
}

void ShowSummary(std::ostream& err, ProgressStyle style, const RunCounts& counts) {
    if (style == ProgressStyle::InPlace && counts.done > 0) err << '\n';
    if (style == ProgressStyle::None) return;
    const std::size_t photos = counts.done + counts.earlier;
    const std::size_t passed = counts.passed + counts.earlierPassed;
    err << photos << (photos == 1 ? " photo, " : " photos, ") << passed << " passed, "
        << (photos - passed) << " not passed";
    if (counts.earlier > 0) err << "; " << counts.earlier << " of them from earlier runs";
    err << '\n';
}

}  // namespace quorvel::cli
