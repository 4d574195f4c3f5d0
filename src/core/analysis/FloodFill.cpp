#include "core/analysis/FloodFill.h"

#include <algorithm>
#include <array>
#include <opencv2/imgproc.hpp>
#include <vector>

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

cv::Vec3b PatchMedian(const cv::Mat& photo, cv::Point centre, int side) {
    // The patch is clipped to the photo; of an even count of values the lower
    // middle one is taken, so the median is always a value of the patch.
    const cv::Rect patch = cv::Rect(centre.x - side / 2, centre.y - side / 2, side, side) &
                           cv::Rect(0, 0, photo.cols, photo.rows);
    std::array<std::vector<uchar>, 3> values;
    for (std::vector<uchar>& v : values) v.reserve(static_cast<std::size_t>(patch.area()));
    for (int y = patch.y; y < patch.br().y; ++y) {
        const cv::Vec3b* px = photo.ptr<cv::Vec3b>(y);
        for (int x = patch.x; x < patch.br().x; ++x) {
            for (int ch = 0; ch < 3; ++ch) values[ch].push_back(px[x][ch]);
        }
    }
    cv::Vec3b median;
    for (int ch = 0; ch < 3; ++ch) {
        std::vector<uchar>& v = values[ch];
        const auto middle = v.begin() + static_cast<std::ptrdiff_t>((v.size() - 1) / 2);
        std::nth_element(v.begin(), middle, v.end());
        median[ch] = *middle;
    }
    return median;
}

int FillRegionMaskAround(const cv::Mat& photo, cv::Point seed, const cv::Vec3b& reference,
                         double difference, cv::Mat& mask) {
    // The same region, filled straight on the photo.
    if (reference == photo.at<cv::Vec3b>(seed))
        return FillRegionMask(photo, seed, difference, mask);

    // The mask itself says where the fill may go: inside its border, pixels
    // out of range (bounds included, as those of a fixed-range fill) are
    // walls, the seed never. A fill that lets every colour pass then covers
    // the region, which alone keeps 255. No picture beyond the mask is made.
    mask.create(photo.rows + 2, photo.cols + 2, CV_8UC1);
    mask.setTo(0);
    cv::Mat inside = mask(cv::Rect(1, 1, photo.cols, photo.rows));
    const cv::Scalar low(reference[0] - difference, reference[1] - difference,
                         reference[2] - difference);
    const cv::Scalar high(reference[0] + difference, reference[1] + difference,
                          reference[2] + difference);
    cv::inRange(photo, low, high, inside);
    inside.at<uchar>(seed) = 255;
    cv::bitwise_not(inside, inside);  // in range 0, open; out of range 255, a wall

    constexpr int kRegion = 128;  // mask value of the filled region, unlike a wall's
    constexpr int kFlags = (rules::kFillFlags & 0xFF) | (kRegion << 8) | cv::FLOODFILL_FIXED_RANGE |
                           cv::FLOODFILL_MASK_ONLY;
    const cv::Scalar anyColour = cv::Scalar::all(255);
    cv::Mat image = photo;  // shares the pixels; a mask-only fill does not write them
    const int area =
        cv::floodFill(image, mask, seed, cv::Scalar(), nullptr, anyColour, anyColour, kFlags);
    cv::compare(mask, kRegion, mask, cv::CMP_EQ);
    return area;
}

}  // namespace quorvel
