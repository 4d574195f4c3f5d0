#pragma once

#include <nlohmann/json.hpp>
#include <opencv2/core.hpp>
#include <string>
#include <utility>
#include <vector>

#include "cli/HtmlReport.h"
#include "cli/JsonReport.h"

namespace quorvel::cli {

// The card of one audited photo for the HTML report, from what became of it
// and the decoded photo (which may be empty).
HtmlPhotoEntry ReportEntry(const PhotoReport& report, const cv::Mat& photo);

// The card of a photo of an earlier run, from its results line (no picture).
HtmlPhotoEntry ReportEntryOfLine(const nlohmann::json& line);

// The trace's values as label and text for people: figures rounded, with
// their units ("background.coverage" "46.3 %"); stages not reached left out.
std::vector<std::pair<std::string, std::string>> RoundedValues(const AuditTrace& trace);

}  // namespace quorvel::cli
