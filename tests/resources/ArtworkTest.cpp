// Checks of the committed pictures in resources/: the sizes and pixel formats
// the window relies on, the fixed places that the window's code paints over
// or depends on (the result frame and the button area), and the contrast of
// every text against what is behind it, for the screens and buttons at their
// size and at twice it (@2x, every place doubled).
//
// Needs QUORVEL_RESOURCES_DIR, the path of resources/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// WCAG's relative luminance of an 8-bit blue-green-red pixel.
double Luminance(const cv::Vec3b& bgr) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(bgr[2]) + 0.7152 * linear(bgr[1]) + 0.0722 * linear(bgr[0]);
}

double Contrast(const cv::Vec3b& a, const cv::Vec3b& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of a text with what is behind it: its ink is the pixel of the
// text's box that stands out most from the background, which is sampled
// next to the text; against the sample's least different pixel (a shaded
// bar's lightest or darkest row).
double TextContrast(const cv::Mat& image, const cv::Rect& text, const cv::Rect& background) {
    const cv::Scalar mean = cv::mean(image(background));
    const cv::Vec3b average(static_cast<uchar>(mean[0]), static_cast<uchar>(mean[1]),
                            static_cast<uchar>(mean[2]));
    cv::Vec3b ink = average;
    for (int y = text.y; y < text.y + text.height; ++y) {
        for (int x = text.x; x < text.x + text.width; ++x) {
            const cv::Vec3b pixel = image.at<cv::Vec3b>(y, x);
            if (Contrast(pixel, average) > Contrast(ink, average)) ink = pixel;
        }
    }
    double lowest = 21;
    for (int y = background.y; y < background.y + background.height; ++y) {
        for (int x = background.x; x < background.x + background.width; ++x) {
            lowest = std::min(lowest, Contrast(ink, image.at<cv::Vec3b>(y, x)));
        }
    }
    return lowest;
}

// Normal text needs 4.5:1; large text (30 px, or 20 px bold) 3:1.
constexpr double kText = 4.5;
constexpr double kLarge = 3.0;

TEST(Artwork, EveryTextStandsOutFromItsBackground) {
    const struct {
        const char* description;
        const char* picture;  // without the scale's suffix
        cv::Rect text;        // in window pixels (button pixels for a button)
        cv::Rect background;
        double minimum;
    } texts[] = {
        {"title", "screens/initial", {86, 18, 240, 31}, {76, 14, 8, 38}, kLarge},
        {"tagline", "screens/initial", {583, 26, 186, 15}, {600, 22, 150, 3}, kText},
        {"sample caption", "screens/initial", {100, 318, 120, 22}, {75, 318, 20, 22}, kText},
        {"placeholder", "screens/initial", {290, 215, 158, 26}, {284, 244, 170, 4}, kText},
        {"passed caption", "screens/passed", {340, 318, 84, 22}, {280, 318, 12, 22}, kText},
        {"failed caption", "screens/no-face", {340, 318, 84, 22}, {280, 318, 12, 22}, kText},
        {"reason", "screens/bad-format", {294, 141, 150, 95}, {284, 250, 170, 6}, kText},
        {"red instructions", "screens/initial", {225, 402, 280, 16}, {520, 402, 40, 16}, kText},
        {"item number", "screens/initial", {34, 406, 9, 10}, {32, 408, 2, 5}, kText},
        {"footer", "screens/initial", {267, 574, 266, 13}, {300, 569, 200, 3}, kText},
        {"Open label", "buttons/open", {76, 12, 84, 24}, {165, 6, 8, 36}, kLarge},
        {"Save label", "buttons/save", {76, 12, 84, 24}, {165, 6, 8, 36}, kLarge},
        {"Exit label", "buttons/exit", {76, 12, 84, 24}, {165, 6, 8, 36}, kLarge},
        {"greyed Save", "buttons/save-disabled", {78, 14, 84, 24}, {167, 8, 8, 36}, kLarge},
    };
    for (int scale : kScales) {
        for (const auto& t : texts) {
            const cv::Mat image = load(std::string(t.picture) + suffix(scale) + ".png");
            ASSERT_EQ(image.type(), CV_8UC3) << t.picture;
            const double contrast =
                TextContrast(image, scaled(t.text, scale), scaled(t.background, scale));
            EXPECT_GE(contrast, t.minimum) << t.description << " at " << scale << "x";
        }
    }
}

}  // namespace
