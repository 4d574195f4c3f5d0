#pragma once

#include <filesystem>
#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "core/audit/AuditReport.h"
#include "core/common/Result.h"
#include "core/explain/Explanation.h"
#include "report/HtmlReport.h"

namespace quorvel::report {

// What became of one photo, as the report is told it.
struct PhotoOutcome {
    std::filesystem::path file;                      // the path as given
    AuditReport audit;                               // with its trace, when there is one
    Explanation reason;                              // why the audit came out as it did
    std::optional<std::filesystem::path> savedPath;  // the file written for a passed photo
    std::optional<Error> error;                      // why it could not be saved or audited
};

// The card of one audited photo, from what became of it and the decoded
// photo (which may be empty: a photo of an earlier run has none).
HtmlPhotoEntry ReportEntry(const PhotoOutcome& outcome, const cv::Mat& photo);

}  // namespace quorvel::report
