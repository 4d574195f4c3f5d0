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

// Per-channel median of the `side` x `side` patch centred on `centre`, the
// part of it inside the photo when it reaches past an edge. `centre` must lie
// inside the photo.
cv::Vec3b PatchMedian(const cv::Mat& photo, cv::Point centre, int side);

// As FillRegionMask, but the region's pixels lie within `difference` of
// `reference` instead of the seed pixel. The fill starts at the seed, which
// belongs to the region whatever its own colour. With the seed pixel as
// reference both give the same mask and area.
int FillRegionMaskAround(const cv::Mat& photo, cv::Point seed, const cv::Vec3b& reference,
                         double difference, cv::Mat& mask);

}  // namespace quorvel
