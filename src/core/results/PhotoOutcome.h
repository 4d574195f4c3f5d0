#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

#include "core/audit/AuditReport.h"
#include "core/common/Result.h"
#include "core/explain/Explanation.h"

namespace quorvel {

// What became of one audited photo: what a results line records and a
// report's card shows.
struct PhotoOutcome {
    std::filesystem::path file;                      // the path as given
    AuditReport audit;                               // with its trace, when there is one
    Explanation reason;                              // why the audit came out as it did
    std::optional<std::filesystem::path> savedPath;  // the file written for a passed photo
    std::optional<Error> error;                      // why it could not be saved or audited
    std::optional<std::size_t> position;             // its place in the run's whole list, from 0
    std::optional<cv::Size> processedSize;           // of a passed photo, as its line records it
};

}  // namespace quorvel
