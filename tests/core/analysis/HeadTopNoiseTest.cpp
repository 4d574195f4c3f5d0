// The head top is measured against the backdrop around the fill's seed, not
// against the one seed pixel: grain on the wall must not move it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "core/analysis/HeadCrop.h"
#include "support/TestSupport.h"

using namespace quorvel;

namespace {

// A plain blue backdrop, 480 x 640, with a brown head from row 120 down over
// the middle half of the face's columns (face 150, 200, 180 x 180).
cv::Mat PlainHeadPhoto() {
    cv::Mat photo(640, 480, CV_8UC3, cv::Scalar(219, 142, 67));
    photo(cv::Rect(195, 120, 90, 520)).setTo(cv::Scalar(60, 90, 160));
    return photo;
}

cv::Mat WithOutlierSeed(cv::Mat photo) {
    photo.at<cv::Vec3b>(5, photo.cols / 2) = cv::Vec3b(255, 255, 255);
    return photo;
}

// Gaussian grain from a fixed generator, then a JPEG round trip of quality 92,
// as a phone photo of a plain wall looks.
cv::Mat WithGrain(const cv::Mat& photo, double sigma, std::uint64_t seed) {
    cv::RNG rng(seed);
    cv::Mat grain(photo.size(), CV_32FC3), noisy;
    rng.fill(grain, cv::RNG::NORMAL, 0, sigma);
    photo.convertTo(noisy, CV_32FC3);
    noisy += grain;
    noisy.convertTo(noisy, CV_8UC3);
    std::vector<uchar> jpeg;
    cv::imencode(".jpg", noisy, jpeg, {cv::IMWRITE_JPEG_QUALITY, 92});
    return cv::imdecode(jpeg, cv::IMREAD_COLOR);
}

}  // namespace

TEST(HeadTop, NoisySeedDoesNotMoveIt) {
    const cv::Rect plainFace(150, 200, 180, 180);
    const cv::Rect portraitFace(134, 304, 185, 185);
    const cv::Mat portrait = testsupport::LoadFixture("id_blue.jpg");
    struct Row {
        const char* description;
        cv::Mat photo;
        cv::Rect face;
        int headTop;
        int tolerance;  // rows the grain may move the head top
    };
    const Row rows[] = {
        // The seed pixel alone would be the reference: nothing else within
        // range, so the fill would be one pixel and row 0 the head top.
        {"outlier seed pixel on a plain backdrop", WithOutlierSeed(PlainHeadPhoto()), plainFace,
         120, 0},
        {"uniform backdrop", PlainHeadPhoto(), plainFace, 120, 0},
        {"clean portrait", portrait, portraitFace, 250, 0},
        // With this grain the seed pixel is far enough off the wall's colour
        // that a fill compared with it leaves holes in most rows.
        {"portrait with grain of sigma 8", WithGrain(portrait, 8, 4), portraitFace, 250, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        cv::RNG rng(7);
        cv::RNG threeDraws(7);
        for (int i = 0; i < 3; ++i) threeDraws.next();
        const CropResult crop = FramePhoto(row.face, row.photo, SizeMode::Mode1, rng);
        EXPECT_EQ(rng.state, threeDraws.state);
        ASSERT_TRUE(crop.trace.headTopRow.has_value());
        EXPECT_LE(std::abs(*crop.trace.headTopRow - row.headTop), row.tolerance)
            << "head top " << *crop.trace.headTopRow;
        EXPECT_TRUE(crop.accepted());
    }
}
