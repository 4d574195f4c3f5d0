#pragma once

#include <QImage>
#include <opencv2/core.hpp>

namespace quorvel::gui {

// The result frame of the success screen, in picture (and client) pixels:
// columns 280 to 456, rows 83 to 310. The frame's light-blue border on
// column 457 and row 311 stays visible.
inline const cv::Rect kResultFrame(280, 83, 177, 228);

// The success picture with the processed photo stretched (bilinear, aspect
// ratio not kept) to fill kResultFrame; every other pixel is the picture's.
// Both images are 8-bit blue-green-red. Without a usable photo, or when the
// frame does not fit the picture, the picture is returned unchanged.
cv::Mat composeResultImage(const cv::Mat& successPicture, const cv::Mat& processedPhoto);

// A copy of a picture as an 8-bit blue-green-red matrix (empty for an empty picture).
cv::Mat pictureToBgr(const QImage& picture);

// A copy of an 8-bit blue-green-red matrix as a QImage, top row first.
QImage bgrToPicture(const cv::Mat& bgr);

}  // namespace quorvel::gui
