#include "core/analysis/FloodFill.h"

#include <opencv2/imgproc.hpp>

#include "core/rules/Rules.h"

namespace quorvel {

cv::Vec3b DrawMarkerColour(cv::RNG& rng) {
    // Separate statements keep the draws in channel order.
    const auto c0 = static_cast<uchar>(static_cast<unsigned>(rng) & 255);
    const auto c1 = static_cast<uchar>(static_cast<unsigned>(rng) & 255);
    const auto c2 = static_cast<uchar>(static_cast<unsigned>(rng) & 255);
    return cv::Vec3b(c0, c1, c2);
}

int FillRegionMask(const cv::Mat& photo, cv::Point seed, double difference, cv::Mat& mask) {
    mask.create(photo.rows + 2, photo.cols + 2, CV_8UC1);
    mask.setTo(0);
    cv::Mat image = photo;  // shares the pixels; a mask-only fill does not write them
    const cv::Scalar diff(difference, difference, difference, 0);
    return cv::floodFill(image, mask, seed, cv::Scalar(), nullptr, diff, diff, rules::kFillFlags);
}

}  // namespace quorvel
