#pragma once

#include <opencv2/core.hpp>

namespace quorvel {

// The processed photo cut again from the photo, from what a results line
// records of its crop: the accepted frame in photo pixels and the size of
// the processed photo. The plan and the pixels are those of the crop that
// made it (PlanExtraction, then the scaled cut of CropForSizeMode): the
// frame's scale is the output width over the frame's width, as the frame
// search computed it. Empty when the values cannot be a crop of this photo.
cv::Mat CutFrameAgain(const cv::Mat& photo, const cv::Rect& frame, cv::Size output);

}  // namespace quorvel
