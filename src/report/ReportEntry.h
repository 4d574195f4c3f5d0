#pragma once

#include <opencv2/core.hpp>

#include "core/io/LibraryMessages.h"
#include "core/results/PhotoOutcome.h"
#include "report/HtmlReport.h"

namespace quorvel::report {

using quorvel::PhotoOutcome;

// The card of one audited photo, from what became of it and the decoded
// photo (which may be empty). When the outcome records the crop frame and
// the processed size (as every results line does), the processed photo's
// thumbnail is cut again from the photo (CutFrameAgain), so that a card
// made at the audit and one made later from its line are the same.
HtmlPhotoEntry ReportEntry(const PhotoOutcome& outcome, const cv::Mat& photo);

// The card of a photo from its results line alone: the line's verdict and
// values as recorded, the photo decoded again (through the guarded decoder
// of the audit, `messages` taking what the decoder says) only for its
// pictures, and only when its file still has the length and time the line
// records; a photo missing or changed since gets a card that says so and no
// picture.
HtmlPhotoEntry ResultsEntry(const PhotoOutcome& recorded, LibraryMessages* messages);

}  // namespace quorvel::report
