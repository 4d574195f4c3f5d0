#pragma once

#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <string_view>

#include "core/analysis/Background.h"
#include "core/io/ImageStructure.h"
#include "core/rules/Rules.h"
#include "core/verify/GenuinePhoto.h"

// The checks of a decoded photo, shared by the verifier's parts.
namespace quorvel::verify_checks {

// Records a check and its outcome.
void AddCheck(GenuineCheck& result, Explanation explanation, bool passed);

// The checks made from the walk of the bytes before the marker alone, in
// order: format, claimed size, decoding cost, layout (when the file ends with
// the `marker`), structure, quantisation (JPEG). A format other than a save's
// or a size no save has ends them. The claimed size when every one passed:
// only then is the file decoded.
std::optional<cv::Size> CheckStructure(std::string_view image, const ImageStructure& walk,
                                       bool marker, SizeMode sizeMode, GenuineCheck& result);

// One plain backdrop of a class the setting accepts reaches the top edge on
// both sides of the head (whose middle column is `middle`) and covers enough
// of the photo.
void CheckBackgroundOf(const cv::Mat& photo, int middle, BackgroundColor setting,
                       GenuineCheck& result);

// The least face share a save in the size mode can show: the least the crop
// search gives (LeastFaceShare), less the largest narrowing of the detector
// measured on genuine saves (rules::kVerifyFaceNarrowing).
double FaceShareFloor(const rules::SizeModeParams& mode);

// One face (or the wider of two), as wide, as centred and as high as the crop
// search of the size mode can place it; `mode` none for a size setting that
// is no mode. Fills the face fields of `result`.
void CheckFace(const cv::Mat& photo, cv::CascadeClassifier& cascade,
               const std::optional<rules::SizeModeParams>& mode, GenuineCheck& result);

}  // namespace quorvel::verify_checks
