#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

// Background colour classes, and the values of the "color" setting that select them.
// BG_ANY accepts any of the three classes; any other setting accepts nothing.
enum BackgroundColor : int { BG_WHITE = 0, BG_RED = 1, BG_BLUE = 2, BG_ANY = 3 };

// Hue in degrees (0 <= hue < 360), saturation and value in [0, 1]. Black has hue -1;
// a grey (all channels equal, not zero) has no hue. hueDefined is false for both.
struct Hsv {
    double hue = -1;
    double saturation = 0;
    double value = 0;
    bool hueDefined = false;
};

Hsv RgbToHsv(std::uint8_t r, std::uint8_t g, std::uint8_t b);

// The class of a sample colour: BG_WHITE, BG_RED or BG_BLUE, or -1 when it is too dark
// (value < 0.13) or has no accepted colour. Tested in the order dark, white, red, blue.
int ClassifyBackground(const Hsv& hsv);

// Pixel count of the 4-connected region around (x, y) whose channels all lie within 60 of
// the seed pixel's. Fills a private copy with a marker colour of three cv::theRNG() draws.
std::int64_t MeasureFillArea(const cv::Mat& photo, int x, int y);

struct BackgroundTrace {
    bool colourStagePassed = false;  // sample classified and accepted by the setting
    int backgroundClass = -1;        // BG_WHITE/BG_RED/BG_BLUE, -1 when unclassified
    cv::Vec3b sampleRgb{};           // mean sample colour as red, green, blue
    Hsv hsv{};
    std::int64_t areas[3] = {0, 0, 0};  // fill areas A1..A3 (0 when not measured)
    std::uint64_t meanArea = 0;
    double coverage = 0;  // meanArea / (rows*cols)
};

// True when the top band of the photo (8-bit, 3 channels, blue-green-red) shows a background
// of a class that `color` accepts and the mean of the three fill areas from row 5 covers
// strictly more than a tenth of the photo. Advances cv::theRNG() by 9 draws when the colour
// stage passes and by none otherwise.
bool CheckBackground(const cv::Mat& photo, int color, BackgroundTrace* trace = nullptr);
