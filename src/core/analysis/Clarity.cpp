#include "core/analysis/Clarity.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/rules/Rules.h"

namespace quorvel {

namespace {

using Image = std::vector<std::int64_t>;  // a square image, row by row

constexpr int kSide = rules::kClaritySide;
constexpr int kHalfSide = kSide / 2;
// A face whose detail lies nearly all at the finest scale (a pixel pattern)
// reads as this, at most.
constexpr std::int64_t kMostClarity = 1'000'000;

// The grey of a blue-green-red pixel in thousandths of a level (weights
// 0.114, 0.587, 0.299).
std::int64_t Grey(const cv::Vec3b& pixel) {
    return 114 * pixel[0] + 587 * pixel[1] + 299 * pixel[2];
}

// The face averaged down to kSide x kSide blocks (the block edges at whole
// pixels: block i covers i * size / kSide up to (i + 1) * size / kSide),
// each in sixteenths of a grey level.
Image Averaged(const cv::Mat& photo, const cv::Rect& face) {
    Image image(static_cast<std::size_t>(kSide) * kSide);
    std::vector<std::int64_t> columns(static_cast<std::size_t>(face.width));
    for (int row = 0; row < kSide; ++row) {
        const int top = face.y + row * face.height / kSide;
        const int bottom = face.y + (row + 1) * face.height / kSide;
        std::fill(columns.begin(), columns.end(), 0);
        for (int y = top; y < bottom; ++y) {
            const cv::Vec3b* pixels = photo.ptr<cv::Vec3b>(y) + face.x;
            for (int x = 0; x < face.width; ++x)
                columns[static_cast<std::size_t>(x)] += Grey(pixels[x]);
        }
        for (int column = 0; column < kSide; ++column) {
            const int left = column * face.width / kSide;
            const int right = (column + 1) * face.width / kSide;
            std::int64_t sum = 0;
            for (int x = left; x < right; ++x) sum += columns[static_cast<std::size_t>(x)];
            const std::int64_t count = static_cast<std::int64_t>(bottom - top) * (right - left);
            image[static_cast<std::size_t>(row) * kSide + column] = sum * 16 / (1000 * count);
        }
    }
    return image;
}

// The image summed 2 by 2: half the side, four times the units.
Image Halved(const Image& image) {
    Image half(static_cast<std::size_t>(kHalfSide) * kHalfSide);
    for (int y = 0; y < kHalfSide; ++y) {
        for (int x = 0; x < kHalfSide; ++x) {
            const std::size_t at = static_cast<std::size_t>(2 * y) * kSide + 2 * x;
            half[static_cast<std::size_t>(y) * kHalfSide + x] =
                image[at] + image[at + 1] + image[at + kSide] + image[at + kSide + 1];
        }
    }
    return half;
}

// The variance of the 4-neighbour Laplacian over the inner points of a
// square image, in its units squared (truncated). With values of at most
// 4080 (sixteenths of a level) or 16320 (four of them summed), n times the
// sum of squares stays below 2^61.
std::int64_t LaplacianVariance(const Image& image, int side) {
    std::int64_t sum = 0;
    std::int64_t squares = 0;
    for (int y = 1; y + 1 < side; ++y) {
        for (int x = 1; x + 1 < side; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * side + x;
            const std::int64_t laplacian =
                4 * image[at] - image[at - 1] - image[at + 1] - image[at - side] - image[at + side];
            sum += laplacian;
            squares += laplacian * laplacian;
        }
    }
    const std::int64_t n = static_cast<std::int64_t>(side - 2) * (side - 2);
    return (n * squares - sum * sum) / (n * n);
}

}  // namespace

std::optional<int> MeasureClarity(const cv::Mat& photo, const cv::Rect& face) {
    if (photo.type() != CV_8UC3 || face.width < kSide || face.height < kSide) return std::nullopt;
    if ((face & cv::Rect(0, 0, photo.cols, photo.rows)) != face) return std::nullopt;
    const Image image = Averaged(photo, face);
    const std::int64_t fine = LaplacianVariance(image, kSide);
    // The halved image's units are four times as large: its variance sixteen.
    const std::int64_t coarse = LaplacianVariance(Halved(image), kHalfSide);
    if (coarse == 0) return std::nullopt;
    return static_cast<int>(std::min<std::int64_t>(16 * 1000 * fine / coarse, kMostClarity));
}

}  // namespace quorvel
