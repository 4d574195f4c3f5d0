#pragma once

#include <opencv2/core.hpp>

namespace quorvel {

// The marker colour of a fill: three draws of the generator, each cut to its
// low 8 bits, as channels 0, 1 and 2.
cv::Vec3b DrawMarkerColour(cv::RNG& rng);

// Marks in `mask` the 4-connected region around `seed` whose pixels lie
// within `difference` of the seed pixel in every channel, and returns its
// area. The photo is not touched, so no copy of it is needed; the mask is
// (rows + 2) x (cols + 2), region pixel (r, c) at mask (r + 1, c + 1), and is
// cleared here first.
int FillRegionMask(const cv::Mat& photo, cv::Point seed, double difference, cv::Mat& mask);

}  // namespace quorvel
