#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>

#include "core/analysis/Background.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::LoadFixture;

namespace {

const cv::Scalar kBlue(255, 0, 0), kRed(0, 0, 255), kWhite(255, 255, 255), kBlack(0, 0, 0);

cv::Mat Plain(int cols, int rows, const cv::Scalar& bgr) {
    return cv::Mat(rows, cols, CV_8UC3, bgr);
}

constexpr auto kWhiteBg = BackgroundColor::White;
constexpr auto kRedBg = BackgroundColor::Red;
constexpr auto kBlueBg = BackgroundColor::Blue;
constexpr auto kAnyBg = BackgroundColor::Any;
constexpr std::optional<BackgroundColor> kNoClass;

// A "color" setting as read from the file, in or out of range.
BackgroundColor Setting(int value) { return static_cast<BackgroundColor>(value); }

// The background check with a generator of its own.
BackgroundCheck Check(const cv::Mat& photo, BackgroundColor setting) {
    cv::RNG rng;
    return CheckBackground(photo, setting, rng);
}

// The fill areas of a check, zero where no fill ran.
std::array<std::int64_t, 3> Areas(const BackgroundCheck& check) {
    return check.trace.fills ? check.trace.fills->areas : std::array<std::int64_t, 3>{};
}

// State of a generator started at `state` after `draws` draws.
std::uint64_t StateAfter(std::uint64_t state, int draws) {
    cv::RNG rng(state);
    for (int i = 0; i < draws; ++i) rng.next();
    return rng.state;
}

}  // namespace

TEST(RgbToHsv, KnownColours) {
    struct Row {
        const char* description;
        std::uint8_t r, g, b;
        bool hueDefined;
        double hue, saturation, value;
    };
    const Row rows[] = {
        {"pure red", 255, 0, 0, true, 0, 1, 1},
        {"pure green", 0, 255, 0, true, 120, 1, 1},
        {"pure blue", 0, 0, 255, true, 240, 1, 1},
        {"hue exactly 30", 255, 155, 55, true, 30, 200.0 / 255, 1},
        {"negative hue wraps to 330", 255, 55, 155, true, 330, 200.0 / 255, 1},
        {"hue exactly 180, green tested before blue", 0, 200, 200, true, 180, 1, 200.0 / 255},
        {"hue exactly 260", 100, 50, 200, true, 260, 150.0 / 200, 200.0 / 255},
        {"red tested before green", 200, 200, 0, true, 60, 1, 200.0 / 255},
        {"white has no hue", 255, 255, 255, false, -1, 0, 1},
        {"grey has no hue", 230, 230, 230, false, -1, 0, 230.0 / 255},
        {"black", 0, 0, 0, false, -1, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const Hsv hsv = RgbToHsv(row.r, row.g, row.b);
        EXPECT_EQ(hsv.hueDefined, row.hueDefined);
        if (row.hueDefined || row.value == 0) {
            EXPECT_EQ(hsv.hue, row.hue);
        }
        EXPECT_DOUBLE_EQ(hsv.saturation, row.saturation);
        EXPECT_DOUBLE_EQ(hsv.value, row.value);
    }
}

TEST(ClassifyBackground, Boundaries) {
    struct Row {
        const char* description;
        Hsv hsv;
        std::optional<BackgroundColor> expected;
    };
    const Row rows[] = {
        {"value 0.13 is bright enough", {0, 1, 0.13, true}, kRedBg},
        {"value just below 0.13 is too dark", {0, 1, 0.1299, true}, kNoClass},
        {"bright grey is white", {-1, 0, 0.9, false}, kWhiteBg},
        {"slightly darker grey has no colour", {-1, 0, 0.8999, false}, kNoClass},
        {"weakly coloured bright blue is white", {220, 0.13, 0.95, true}, kWhiteBg},
        {"more saturated bright blue is blue", {220, 0.1301, 0.95, true}, kBlueBg},
        {"hue 30 is not red", {30, 1, 1, true}, kNoClass},
        {"hue just below 30 is red", {29.999, 1, 1, true}, kRedBg},
        {"hue 330 is red", {330, 1, 1, true}, kRedBg},
        {"hue just below 330 is nothing", {329.9, 1, 1, true}, kNoClass},
        {"hue 180 is blue", {180, 1, 1, true}, kBlueBg},
        {"hue 179.9 is not blue", {179.9, 1, 1, true}, kNoClass},
        {"hue 260 is blue", {260, 1, 1, true}, kBlueBg},
        {"hue 260.1 is not blue", {260.1, 1, 1, true}, kNoClass},
        {"green", {120, 1, 1, true}, kNoClass},
        {"a darker grey is never red", {-1, 0, 0.5, false}, kNoClass},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        EXPECT_EQ(ClassifyBackground(row.hsv), row.expected);
    }
}

TEST(CheckBackground, ColourAndSetting) {
    struct Row {
        const char* description;
        cv::Scalar bgr;
        BackgroundColor setting;
        bool accepted;
        std::optional<BackgroundColor> backgroundClass;
    };
    const Row rows[] = {
        {"grey 230 is white", cv::Scalar(230, 230, 230), kWhiteBg, true, kWhiteBg},
        {"grey 229 is refused", cv::Scalar(229, 229, 229), kAnyBg, false, kNoClass},
        {"largest channel 34 passes the darkness test", cv::Scalar(0, 0, 34), kRedBg, true, kRedBg},
        {"largest channel 33 is too dark", cv::Scalar(0, 0, 33), kAnyBg, false, kNoClass},
        {"red accepted by red", kRed, kRedBg, true, kRedBg},
        {"red refused by white", kRed, kWhiteBg, false, kRedBg},
        {"red refused by blue", kRed, kBlueBg, false, kRedBg},
        {"red accepted by any", kRed, kAnyBg, true, kRedBg},
        {"blue accepted by blue", kBlue, kBlueBg, true, kBlueBg},
        {"blue refused by red", kBlue, kRedBg, false, kBlueBg},
        {"white accepted by any", kWhite, kAnyBg, true, kWhiteBg},
        {"white refused by blue", kWhite, kBlueBg, false, kWhiteBg},
        {"setting 4 accepts nothing", kWhite, Setting(4), false, kWhiteBg},
        {"negative setting accepts nothing", kBlue, Setting(-1), false, kBlueBg},
        {"green is no background colour", cv::Scalar(0, 255, 0), kAnyBg, false, kNoClass},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const cv::Mat photo = Plain(61, 40, row.bgr);
        const BackgroundCheck check = Check(photo, row.setting);
        EXPECT_EQ(check.accepted, row.accepted);
        EXPECT_EQ(check.trace.backgroundClass, row.backgroundClass);
        EXPECT_EQ(check.trace.fills.has_value(), row.accepted);
        // A plain photo fills completely whenever it gets as far as the fills.
        const std::int64_t area = row.accepted ? 61 * 40 : 0;
        EXPECT_EQ(Areas(check)[0], area);
        EXPECT_EQ(Areas(check)[2], area);
    }
}

TEST(CheckBackground, SampleIsTheIntegerMeanOfThreePixelsOnRowFive) {
    // 61 columns: samples at columns 5, 30 and 56.
    cv::Mat photo = Plain(61, 40, kBlack);
    photo.at<cv::Vec3b>(5, 5) = cv::Vec3b(200, 10, 0);
    photo.at<cv::Vec3b>(5, 30) = cv::Vec3b(201, 11, 1);
    photo.at<cv::Vec3b>(5, 56) = cv::Vec3b(203, 13, 1);
    const BackgroundCheck check = Check(photo, kBlueBg);
    EXPECT_EQ(check.trace.sampleRgb, cv::Vec3b(0, 11, 201));  // red, green, blue
    EXPECT_EQ(check.trace.backgroundClass, kBlueBg);
    // Each sample is an isolated pixel, so each fill finds only itself.
    EXPECT_EQ(Areas(check), (std::array<std::int64_t, 3>{1, 1, 1}));
}

TEST(CheckBackground, Extent) {
    // Blue squares of 10x10 around each seed of a 50x20 photo (seeds at columns 5, 25, 45),
    // black elsewhere; `extra` blue pixels hang below the third square.
    const auto squares = [](int extra) {
        cv::Mat photo = Plain(50, 20, kBlack);
        for (int left : {0, 20, 40}) photo(cv::Rect(left, 0, 10, 10)).setTo(kBlue);
        if (extra > 0) photo(cv::Rect(40, 10, extra, 1)).setTo(kBlue);
        return photo;
    };
    // A blue band of rows 0..9 across a 100x100 photo, plus `extra` pixels below it.
    const auto band = [](int extra) {
        cv::Mat photo = Plain(100, 100, kBlack);
        photo(cv::Rect(0, 0, 100, 10)).setTo(kBlue);
        if (extra > 0) photo(cv::Rect(0, 10, extra, 1)).setTo(kBlue);
        return photo;
    };
    // Red grows by 4 per row from the top; the fill keeps within 60 of row 5.
    cv::Mat gradient(300, 50, CV_8UC3);
    for (int y = 0; y < gradient.rows; ++y) {
        gradient.row(y).setTo(cv::Scalar(255, 0, std::min(255, 4 * y)));
    }
    // Blue where column + row is even: every blue pixel touches others only at corners.
    cv::Mat checker = Plain(62, 40, kBlack);
    for (int y = 0; y < checker.rows; ++y) {
        for (int x = y % 2; x < checker.cols; x += 2) checker.at<cv::Vec3b>(y, x) = {255, 0, 0};
    }

    struct Row {
        const char* description;
        cv::Mat photo;
        std::int64_t areas[3];
        std::uint64_t meanArea;
        bool accepted;
    };
    const Row rows[] = {
        {"mean area exactly a tenth fails", squares(0), {100, 100, 100}, 100, false},
        {"mean of 100, 100, 101 is 100 and fails", squares(1), {100, 100, 101}, 100, false},
        {"mean of 100, 100, 103 is 101 and passes", squares(3), {100, 100, 103}, 101, true},
        {"one region counted by all three fills, a tenth",
         band(0),
         {1000, 1000, 1000},
         1000,
         false},
        {"one region counted by all three fills, above", band(1), {1001, 1001, 1001}, 1001, true},
        {"range fixed at the seed, not stepwise", gradient, {1050, 1050, 1050}, 1050, false},
        {"four neighbours only", checker, {1, 1, 1}, 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const cv::Mat before = row.photo.clone();
        const BackgroundCheck check = Check(row.photo, kBlueBg);
        EXPECT_EQ(check.accepted, row.accepted);
        ASSERT_TRUE(check.trace.fills.has_value());
        const BackgroundFills& fills = *check.trace.fills;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(fills.areas[i], row.areas[i]) << "area " << i;
        EXPECT_EQ(fills.meanArea, row.meanArea);
        EXPECT_DOUBLE_EQ(fills.coverage,
                         static_cast<double>(row.meanArea) / (row.photo.rows * row.photo.cols));
        EXPECT_EQ(cv::norm(before, row.photo, cv::NORM_INF), 0) << "photo modified";
    }
}

TEST(CheckBackground, DrawsNineMarkerChannelsOnlyAfterTheColourStage) {
    // Blue sample pixels on black: the colour stage passes, the extent fails.
    cv::Mat isolated = Plain(60, 40, kBlack);
    for (int x : {5, 30, 55}) isolated.at<cv::Vec3b>(5, x) = {255, 0, 0};

    struct Row {
        const char* description;
        cv::Mat photo;
        BackgroundColor setting;
        int draws;
    };
    const Row rows[] = {
        {"accepted", Plain(60, 40, kBlue), kBlueBg, 9},
        {"refused by extent", isolated, kBlueBg, 9},
        {"too dark", Plain(60, 40, kBlack), kAnyBg, 0},
        {"other class", Plain(60, 40, kBlue), kRedBg, 0},
        {"invalid setting", Plain(60, 40, kBlue), Setting(4), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        cv::RNG rng(0x1234567887654321ULL);
        CheckBackground(row.photo, row.setting, rng);
        EXPECT_EQ(rng.state, StateAfter(0x1234567887654321ULL, row.draws));
    }
}

TEST(CheckBackground, RealPhotos) {
    struct Row {
        const char* file;
        BackgroundColor backgroundClass;
    };
    const Row rows[] = {
        {"id_blue.jpg", kBlueBg},
        {"id_red.jpg", kRedBg},
        {"id_white.jpg", kWhiteBg},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const cv::Mat photo = LoadFixture(row.file);
        for (BackgroundColor setting : {kWhiteBg, kRedBg, kBlueBg, kAnyBg}) {
            SCOPED_TRACE(static_cast<int>(setting));
            const bool expected = setting == row.backgroundClass || setting == kAnyBg;
            const BackgroundCheck check = Check(photo, setting);
            EXPECT_EQ(check.accepted, expected);
            EXPECT_EQ(check.trace.backgroundClass, row.backgroundClass);
            if (expected) {
                EXPECT_GT(check.trace.fills->coverage, 0.1);
            }
        }
    }
}
