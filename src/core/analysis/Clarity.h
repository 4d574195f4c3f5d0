#pragma once

#include <opencv2/core.hpp>
#include <optional>

namespace quorvel {

// How sharp a face is, in tenths (a clarity of 23.5 is 235): how much of the
// detail of the face's grey image lies at its finest scale, against the
// scale twice as coarse, in percent. The face is averaged down to
// rules::kClaritySide square blocks (its size no longer matters); the
// clarity is 100 times the variance of that image's 4-neighbour Laplacian
// over the variance of the Laplacian of the same image averaged 2 by 2.
// Blurring takes detail from the finest scale first; lighting and contrast
// change both variances alike. Integer arithmetic throughout, so every
// machine gives the same figure; it draws nothing from any generator.
// Nothing when the face (inside the photo, 8-bit blue-green-red) is
// smaller than the side either way, or has no detail at all.
std::optional<int> MeasureClarity(const cv::Mat& photo, const cv::Rect& face);

}  // namespace quorvel
