// Checks of the committed pictures in resources/: the sizes and pixel formats
// the window relies on, and the fixed places that the window's code paints
// over or depends on (the result frame and the button area).
//
// Needs QUORVEL_RESOURCES_DIR, the path of resources/.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>

#ifndef QUORVEL_RESOURCES_DIR
#error "QUORVEL_RESOURCES_DIR must name the resources directory"
#endif

namespace {

cv::Mat load(const std::string& name) {
    return cv::imread(std::string(QUORVEL_RESOURCES_DIR) + "/" + name, cv::IMREAD_UNCHANGED);
}

const char* const kScreens[] = {"initial",        "passed",  "bad-background", "bad-format",
                                "bad-proportion", "no-face", "too-small"};

std::string screenName(const std::string& screen) { return "screens/" + screen + ".png"; }

const cv::Vec3b kWhite(255, 255, 255);

// The white result frame: border lines on columns 280 and 457, rows 83 and
// 311; the accepted photo is drawn into (280, 83, 177, 228).
const cv::Rect kFrame(280, 83, 178, 229);
// The area behind the three buttons.
const cv::Rect kButtonArea(520, 100, 197, 224);
// The result panel, the only part in which the seven screens differ.
const cv::Rect kResultPanel(274, 77, 190, 269);

TEST(Artwork, ScreensAre800By600WithoutAlpha) {
    for (const std::string id : kScreens) {
        const cv::Mat image = load(screenName(id));
        ASSERT_FALSE(image.empty()) << screenName(id);
        EXPECT_EQ(image.cols, 800) << id;
        EXPECT_EQ(image.rows, 600) << id;
        EXPECT_EQ(image.type(), CV_8UC3) << id;
    }
}

TEST(Artwork, ButtonPicturesHaveTheirSizes) {
    const struct {
        const char* id;
        int width;
        int height;
    } buttons[] = {
        {"open", 197, 48}, {"save", 197, 48}, {"exit", 197, 48}, {"save-disabled", 201, 52}};
    for (const auto& b : buttons) {
        const cv::Mat image = load(std::string("buttons/") + b.id + ".png");
        ASSERT_FALSE(image.empty()) << b.id;
        EXPECT_EQ(image.cols, b.width) << b.id;
        EXPECT_EQ(image.rows, b.height) << b.id;
        EXPECT_EQ(image.type(), CV_8UC3) << b.id;
    }
}

TEST(Artwork, IconHasEverySize) {
    for (int size : {16, 24, 32, 48, 256}) {
        const cv::Mat image = load("icon128-" + std::to_string(size) + ".png");
        ASSERT_FALSE(image.empty()) << size;
        EXPECT_EQ(image.cols, size);
        EXPECT_EQ(image.rows, size);
    }
}

TEST(Artwork, SuccessScreenHasTheResultFrameBorderAndAWhiteInside) {
    const cv::Mat image = load(screenName("passed"));
    ASSERT_EQ(image.type(), CV_8UC3);
    const cv::Vec3b border = image.at<cv::Vec3b>(kFrame.y, kFrame.x);
    ASSERT_NE(border, kWhite);
    const int right = kFrame.x + kFrame.width - 1;
    const int bottom = kFrame.y + kFrame.height - 1;
    for (int x = kFrame.x; x <= right; ++x) {
        EXPECT_EQ(image.at<cv::Vec3b>(kFrame.y, x), border) << "top, column " << x;
        EXPECT_EQ(image.at<cv::Vec3b>(bottom, x), border) << "bottom, column " << x;
        // Just outside the border is the panel's frame, not the border colour.
        EXPECT_NE(image.at<cv::Vec3b>(bottom + 1, x), border) << "below, column " << x;
    }
    for (int y = kFrame.y; y <= bottom; ++y) {
        EXPECT_EQ(image.at<cv::Vec3b>(y, kFrame.x), border) << "left, row " << y;
        EXPECT_EQ(image.at<cv::Vec3b>(y, right), border) << "right, row " << y;
        EXPECT_NE(image.at<cv::Vec3b>(y, right + 1), border) << "right of it, row " << y;
    }
    const cv::Rect inside(kFrame.x + 1, kFrame.y + 1, kFrame.width - 2, kFrame.height - 2);
    EXPECT_EQ(cv::countNonZero(cv::Mat(image(inside) != kWhite).reshape(1)), 0);
}

TEST(Artwork, EveryScreenIsWhiteBehindTheButtons) {
    for (const std::string id : kScreens) {
        const cv::Mat image = load(screenName(id));
        ASSERT_EQ(image.type(), CV_8UC3) << id;
        EXPECT_EQ(cv::countNonZero(cv::Mat(image(kButtonArea) != kWhite).reshape(1)), 0) << id;
    }
}

TEST(Artwork, ScreensDifferOnlyInTheResultPanel) {
    const cv::Mat reference = load(screenName("initial"));
    ASSERT_EQ(reference.type(), CV_8UC3);
    for (const std::string id : kScreens) {
        cv::Mat image = load(screenName(id));
        ASSERT_EQ(image.type(), CV_8UC3) << id;
        reference(kResultPanel).copyTo(image(kResultPanel));
        EXPECT_EQ(cv::countNonZero(cv::Mat(image != reference).reshape(1)), 0) << id;
    }
}

}  // namespace
