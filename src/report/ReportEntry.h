#pragma once

#include <opencv2/core.hpp>

#include "core/results/PhotoOutcome.h"
#include "report/HtmlReport.h"

namespace quorvel::report {

using quorvel::PhotoOutcome;

// The card of one audited photo, from what became of it and the decoded
// photo (which may be empty: a photo of an earlier run has none).
HtmlPhotoEntry ReportEntry(const PhotoOutcome& outcome, const cv::Mat& photo);

}  // namespace quorvel::report
