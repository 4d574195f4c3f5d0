// Checks of the committed pictures in resources/: the sizes and pixel formats
// the window relies on, and the fixed places that the window's code paints
// over or depends on (the result frame and the button area), for the screens
// and buttons at their size and at twice it (@2x, every place doubled).
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

// The pictures at window size and at twice it.
const int kScales[] = {1, 2};

std::string suffix(int scale) { return scale == 1 ? "" : "@" + std::to_string(scale) + "x"; }

std::string screenName(const std::string& screen, int scale = 1) {
    return "screens/" + screen + suffix(scale) + ".png";
}

cv::Rect scaled(const cv::Rect& r, int scale) {
    return {r.x * scale, r.y * scale, r.width * scale, r.height * scale};
}

const cv::Vec3b kWhite(255, 255, 255);

// The white result frame: border lines on columns 280 and 457, rows 83 and
// 311; the accepted photo is drawn into (280, 83, 177, 228).
const cv::Rect kFrame(280, 83, 178, 229);
// The area behind the three buttons.
const cv::Rect kButtonArea(520, 100, 197, 224);
// The result panel, the only part in which the seven screens differ.
const cv::Rect kResultPanel(274, 77, 190, 269);

TEST(Artwork, ScreensAre800By600WithoutAlpha) {
    for (int scale : kScales) {
        for (const std::string id : kScreens) {
            const cv::Mat image = load(screenName(id, scale));
            ASSERT_FALSE(image.empty()) << screenName(id, scale);
            EXPECT_EQ(image.cols, 800 * scale) << id;
            EXPECT_EQ(image.rows, 600 * scale) << id;
            EXPECT_EQ(image.type(), CV_8UC3) << id;
        }
    }
}

TEST(Artwork, ButtonPicturesHaveTheirSizes) {
    const struct {
        const char* id;
        int width;
        int height;
    } buttons[] = {
        {"open", 197, 48}, {"save", 197, 48}, {"exit", 197, 48}, {"save-disabled", 201, 52}};
    for (int scale : kScales) {
        for (const auto& b : buttons) {
            const std::string name = std::string("buttons/") + b.id + suffix(scale) + ".png";
            const cv::Mat image = load(name);
            ASSERT_FALSE(image.empty()) << name;
            EXPECT_EQ(image.cols, b.width * scale) << name;
            EXPECT_EQ(image.rows, b.height * scale) << name;
            EXPECT_EQ(image.type(), CV_8UC3) << name;
        }
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
    for (int scale : kScales) {
        const cv::Mat image = load(screenName("passed", scale));
        ASSERT_EQ(image.type(), CV_8UC3);
        // The border lines are one window pixel wide: `scale` image pixels.
        const cv::Rect frame = scaled(kFrame, scale);
        const cv::Vec3b border = image.at<cv::Vec3b>(frame.y, frame.x);
        ASSERT_NE(border, kWhite);
        const int right = frame.x + frame.width - 1;
        const int bottom = frame.y + frame.height - 1;
        for (int x = frame.x; x <= right; ++x) {
            for (int line = 0; line < scale; ++line) {
                EXPECT_EQ(image.at<cv::Vec3b>(frame.y + line, x), border) << scale << " top " << x;
                EXPECT_EQ(image.at<cv::Vec3b>(bottom - line, x), border)
                    << scale << " bottom " << x;
            }
            // Just outside the border is the panel's frame, not the border colour.
            EXPECT_NE(image.at<cv::Vec3b>(bottom + 1, x), border) << scale << " below " << x;
        }
        for (int y = frame.y; y <= bottom; ++y) {
            for (int line = 0; line < scale; ++line) {
                EXPECT_EQ(image.at<cv::Vec3b>(y, frame.x + line), border) << scale << " left " << y;
                EXPECT_EQ(image.at<cv::Vec3b>(y, right - line), border) << scale << " right " << y;
            }
            EXPECT_NE(image.at<cv::Vec3b>(y, right + 1), border) << scale << " right of it " << y;
        }
        const cv::Rect inside(frame.x + scale, frame.y + scale, frame.width - 2 * scale,
                              frame.height - 2 * scale);
        EXPECT_EQ(cv::countNonZero(cv::Mat(image(inside) != kWhite).reshape(1)), 0) << scale;
    }
}

TEST(Artwork, EveryScreenIsWhiteBehindTheButtons) {
    for (int scale : kScales) {
        for (const std::string id : kScreens) {
            const cv::Mat image = load(screenName(id, scale));
            ASSERT_EQ(image.type(), CV_8UC3) << id;
            EXPECT_EQ(
                cv::countNonZero(cv::Mat(image(scaled(kButtonArea, scale)) != kWhite).reshape(1)),
                0)
                << id << " " << scale;
        }
    }
}

TEST(Artwork, ScreensDifferOnlyInTheResultPanel) {
    for (int scale : kScales) {
        const cv::Mat reference = load(screenName("initial", scale));
        ASSERT_EQ(reference.type(), CV_8UC3);
        const cv::Rect panel = scaled(kResultPanel, scale);
        for (const std::string id : kScreens) {
            cv::Mat image = load(screenName(id, scale));
            ASSERT_EQ(image.type(), CV_8UC3) << id;
            reference(panel).copyTo(image(panel));
            EXPECT_EQ(cv::countNonZero(cv::Mat(image != reference).reshape(1)), 0)
                << id << " " << scale;
        }
    }
}

}  // namespace
