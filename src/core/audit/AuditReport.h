#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/Background.h"
#include "core/analysis/HeadCrop.h"
#include "core/audit/Verdict.h"
#include "core/common/Result.h"
#include "core/io/DecodingCost.h"
#include "core/io/FileStatus.h"
#include "core/rules/Decision.h"

namespace quorvel {

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
    std::optional<int> clarity;  // of a passed photo's face, in tenths, when it was measured
};

// What an audit found that a photo's card draws over the picture, whether
// the trace was asked for or not.
struct AuditMarks {
    std::vector<cv::Rect> faces;        // the detector's faces, when none was chosen
    std::optional<int> headTopRow;      // once the head top was found
    std::optional<cv::Rect> cropFrame;  // the accepted crop frame, in photo pixels
};

// The outcome of auditing one photo.
struct AuditReport {
    Verdict verdict = Verdict::Initial;
    std::optional<cv::Rect> face;  // the chosen face, when one was found
    cv::Mat processedPhoto;        // empty unless the verdict is Passed
    RuleDecision decision;         // the rule that decided, its measured value and limit
    AuditMarks marks;
    // An advisory rule's finding on a passed photo (its measured value below
    // the advised limit): advice only, never a verdict.
    std::optional<RuleDecision> advice;
    std::optional<AuditTrace> trace;  // when asked for
    // The photo's file as it was read (its length and time), once opened;
    // and what the image library said while decoding it ("Premature end of
    // JPEG file"), when its messages were captured.
    std::optional<FileStamp> photoStamp;
    std::vector<std::string> warnings;
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
