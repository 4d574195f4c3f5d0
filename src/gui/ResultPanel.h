#pragma once

#include <QImage>
#include <opencv2/core.hpp>

class QPainter;

namespace quorvel::gui {

// The result frame of the success screen, in window pixels: columns 280 to
// 456, rows 83 to 310. The frame's light-blue border on column 457 and row
// 311 stays visible.
inline const cv::Rect kResultFrame(280, 83, 177, 228);

// Paints the processed photo (8-bit blue-green-red) stretched into the result
// frame, bilinear and without keeping its aspect ratio, at the resolution of
// the painter's device: at device pixel ratio r it covers the device pixels
// from (round(280 r), round(83 r)), round(177 r) x round(228 r) of them.
// Nothing else is painted; without a usable photo nothing at all.
void paintResultPhoto(QPainter& painter, const cv::Mat& processedPhoto);

// A copy of an 8-bit blue-green-red matrix as a QImage, top row first.
QImage bgrToPicture(const cv::Mat& bgr);

}  // namespace quorvel::gui
