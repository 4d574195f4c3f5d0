// The fills run on a mask instead of a painted copy of the photo. These tests
// hold them against the straightforward way: a deep copy per fill, painted
// with a marker colour drawn from OpenCV's per-thread generator. The fills
// draw from a generator of their own, which must advance exactly as that one.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "core/analysis/Background.h"
#include "core/analysis/HeadCrop.h"

using namespace quorvel;

namespace {

constexpr int kFlags = 4 | (255 << 8) | cv::FLOODFILL_FIXED_RANGE;

cv::Scalar Draw() {
    cv::RNG& rng = cv::theRNG();
    const unsigned c0 = static_cast<unsigned>(rng) & 255;
    const unsigned c1 = static_cast<unsigned>(rng) & 255;
    const unsigned c2 = static_cast<unsigned>(rng) & 255;
    return cv::Scalar(c0, c1, c2, 0);
}

std::int64_t ReferenceArea(const cv::Mat& photo, cv::Point seed) {
    cv::Mat copy = photo.clone();
    const cv::Scalar marker = Draw();
    return cv::floodFill(copy, seed, marker, nullptr, cv::Scalar::all(60), cv::Scalar::all(60),
                         kFlags);
}

std::optional<int> ReferenceHeadTop(const cv::Rect& face, const cv::Mat& photo) {
    cv::Mat copy = photo.clone();
    const cv::Scalar m = Draw();
    cv::floodFill(copy, cv::Point(photo.cols / 2, 5), m, nullptr, cv::Scalar::all(20),
                  cv::Scalar::all(20), kFlags);
    const cv::Vec3b marker(static_cast<uchar>(m[0]), static_cast<uchar>(m[1]),
                           static_cast<uchar>(m[2]));
    for (int row = 0; row < face.y; ++row) {
        int count = 0;
        for (int col = face.x; col < face.x + face.width; ++col) {
            if (copy.at<cv::Vec3b>(row, col) != marker) ++count;
        }
        if (static_cast<double>(count) / face.width >= 0.05) return row;
    }
    return std::nullopt;
}

// Backgrounds of several kinds: plain, noisy, split by bars, patchy.
std::vector<cv::Mat> VariedPhotos() {
    std::vector<cv::Mat> photos;
    cv::RNG rng(20261207);
    const cv::Scalar blue(219, 142, 67), white(250, 250, 250), red(30, 20, 210);
    for (const cv::Scalar& colour : {blue, white, red}) {
        cv::Mat plain(320, 240, CV_8UC3, colour);
        cv::ellipse(plain, {120, 200}, {60, 80}, 0, 0, 360, cv::Scalar(120, 160, 210), cv::FILLED);
        photos.push_back(plain);

        cv::Mat noisy = plain.clone();
        cv::Mat noise(noisy.size(), CV_8UC3);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 90);
        noisy += noise;
        photos.push_back(noisy);

        cv::Mat bars = plain.clone();  // same seed colours, separate regions
        cv::line(bars, {80, 0}, {80, 319}, cv::Scalar(0, 0, 0), 3);
        cv::line(bars, {170, 0}, {170, 319}, cv::Scalar(0, 0, 0), 3);
        photos.push_back(bars);

        cv::Mat patchy = plain.clone();
        for (int i = 0; i < 40; ++i) {
            cv::Point p(rng.uniform(0, 240), rng.uniform(0, 320));
            cv::circle(patchy, p, rng.uniform(3, 30),
                       cv::Scalar(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256)),
                       cv::FILLED);
        }
        photos.push_back(patchy);
    }
    return photos;
}

}  // namespace

TEST(FillEquivalence, BackgroundAreasAndDrawsMatchTheCopyingWay) {
    int index = 0;
    for (const cv::Mat& photo : VariedPhotos()) {
        SCOPED_TRACE(index++);
        cv::RNG rng(12345);
        const BackgroundCheck check = CheckBackground(photo, BackgroundColor::Any, rng);
        const std::uint64_t stateAfter = rng.state;

        cv::theRNG().state = 12345;
        if (!check.trace.fills) {
            EXPECT_EQ(stateAfter, 12345u);
            continue;
        }
        const int columns[3] = {5, photo.cols / 2, photo.cols - 5};
        std::uint64_t total = 0;
        for (int i = 0; i < 3; ++i) {
            const std::int64_t area = ReferenceArea(photo, cv::Point(columns[i], 5));
            EXPECT_EQ(check.trace.fills->areas[i], area) << "fill " << i;
            total += static_cast<std::uint64_t>(area);
        }
        EXPECT_EQ(cv::theRNG().state, stateAfter);
        EXPECT_EQ(check.accepted, static_cast<double>(total / 3) / photo.total() > 0.1);
    }
}

TEST(FillEquivalence, SingleFillMatchesTheCopyingWay) {
    for (const cv::Mat& photo : VariedPhotos()) {
        for (cv::Point seed : {cv::Point(0, 0), cv::Point(120, 200), cv::Point(239, 319)}) {
            cv::RNG rng(99);
            const std::int64_t area = MeasureFillArea(photo, seed.x, seed.y, rng);
            const std::uint64_t stateAfter = rng.state;
            cv::theRNG().state = 99;
            EXPECT_EQ(area, ReferenceArea(photo, seed));
            EXPECT_EQ(cv::theRNG().state, stateAfter);
        }
    }
}

TEST(FillEquivalence, HeadTopMatchesTheCopyingWayIncludingMarkerColouredPixels) {
    const cv::Rect face(70, 150, 100, 110);
    int index = 0;
    for (cv::Mat photo : VariedPhotos()) {
        SCOPED_TRACE(index++);
        // A pixel above the face, outside the fill, painted in the coming marker colour.
        cv::RNG peek(777);
        cv::Vec3b marker;
        for (int ch = 0; ch < 3; ++ch)
            marker[ch] = static_cast<uchar>(static_cast<unsigned>(peek) & 255);
        photo(cv::Rect(75, 40, 30, 3)).setTo(cv::Scalar(marker[0], marker[1], marker[2]));

        cv::RNG rng(777);
        const std::optional<int> top = FindHeadTop(face, photo, rng);
        const std::uint64_t stateAfter = rng.state;
        cv::theRNG().state = 777;
        const auto ref = ReferenceHeadTop(face, photo);
        EXPECT_EQ(top, ref);
        EXPECT_EQ(cv::theRNG().state, stateAfter);
    }
}
