#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "core/analysis/Background.h"
#include "core/analysis/HeadCrop.h"
#include "core/audit/Verdict.h"
#include "core/common/Result.h"
#include "core/io/DecodingCost.h"

namespace quorvel {

// The width and height a photo's header claims.
struct ClaimedSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// What the audit measured on its way, stage by stage; a stage the audit did
// not reach is empty.
struct AuditTrace {
    std::optional<cv::Size> photoSize;           // once the photo was decoded
    std::optional<std::vector<cv::Rect>> faces;  // the detector's list, in its order
    std::optional<std::uintmax_t> fileLength;    // once a face was chosen and the file was read
    std::optional<BackgroundTrace> background;   // once the size rules passed
    std::optional<CropTrace> crop;               // once the background passed
    std::optional<ClaimedSize> claimedSize;  // a header's size beyond the pixel cap (not decoded)
    std::optional<CostExcess> refusedCost;   // the structure asks more than a cap (not decoded)
};

// The outcome of auditing one photo.
struct AuditReport {
    Verdict verdict = Verdict::Initial;
    std::optional<cv::Rect> face;     // the chosen face, when one was found
    cv::Mat processedPhoto;           // empty unless the verdict is Passed
    std::optional<AuditTrace> trace;  // when asked for
    // Why the rules gave no verdict (BadFormat then): the file could not be
    // read (NotFound, NotReadable, IsFolder, NotAFile), or the audit itself
    // broke (OutOfMemory, Internal). AuditBroke tells which.
    std::optional<Error> failure;
};

// Whether the failure is the audit's own (memory ran out, a library threw)
// rather than a file that could not be read.
inline bool AuditBroke(const Error& failure) {
    return failure.kind == ErrorKind::OutOfMemory || failure.kind == ErrorKind::Internal;
}

}  // namespace quorvel
