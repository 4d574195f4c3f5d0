#pragma once

#include <filesystem>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/audit/Verdict.h"

// The two ways a user gets a verdict: the window's audit path (its session,
// started from cfg.ini and the cascade in the working directory) and the
// quorvel-audit program.
namespace frontends {

enum class FrontEnd { Window, Cli };

std::string Name(FrontEnd frontEnd);

// What a front end tells about one photo.
struct Outcome {
    quorvel::Verdict verdict = quorvel::Verdict::Initial;
    std::optional<cv::Rect> face;
    std::optional<cv::Size> processed;  // size of the processed photo of a passed audit
};

// Audits the photos in order through one front end, with the given "color"
// and "size" settings, in a fresh working folder.
std::vector<Outcome> AuditThrough(FrontEnd frontEnd,
                                  const std::vector<std::filesystem::path>& photos, int color,
                                  int size);

}  // namespace frontends
