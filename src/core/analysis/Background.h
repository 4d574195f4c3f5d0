#pragma once

#include <array>
#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>

#include "core/common/Quantity.h"
#include "core/config/Settings.h"
#include "core/rules/Decision.h"

namespace quorvel {

// Hue in degrees (0 <= hue < 360), saturation and value in [0, 1]. Black has hue -1;
// a grey (all channels equal, not zero) has no hue. hueDefined is false for both.
struct Hsv {
    double hue = -1;
    double saturation = 0;
    double value = 0;
    bool hueDefined = false;
};

Hsv RgbToHsv(std::uint8_t r, std::uint8_t g, std::uint8_t b);

// The three background classes, in the order they are tested.
inline constexpr BackgroundColor kBackgroundClasses[] = {
    BackgroundColor::White, BackgroundColor::Red, BackgroundColor::Blue};

// How far a class's limits are widened (the verifier allows for what saving
// and a different sampling place can move): hue in degrees, saturation and
// value as shares. The audit's classes are the unwidened ones.
struct ColourTolerance {
    double hue = 0;
    double saturation = 0;
    double value = 0;
};

// The limits of the colour classes as a quantity (hue in degrees,
// saturation and value from 0 to 1), each widened by the tolerance: the
// audit's own with none, the verifier's with its tolerances.
Quantity ColourClassLimits(const ColourTolerance& tolerance = {});

// Whether a colour is of one class (White, Red or Blue; never when too dark),
// each limit widened by the tolerance.
bool InBackgroundClass(const Hsv& hsv, BackgroundColor backgroundClass,
                       const ColourTolerance& tolerance = {});

// The class of a sample colour: White, Red or Blue, or none when it is too dark
// or has no accepted colour. Tested in the order dark, white, red, blue.
std::optional<BackgroundColor> ClassifyBackground(const Hsv& hsv);

// The class the audit gives a colour (ClassifyBackground) when `setting`
// accepts it; else the same test in the same order (dark, white, red, blue)
// with the limits of the classes the setting accepts widened by the
// tolerance. A colour of a class the setting refuses stays of it unless it
// lies within the widened limits of an accepted class tested before it: only
// white's, whose saturation limit borders red and blue.
std::optional<BackgroundColor> ClassifyBackground(const Hsv& hsv, BackgroundColor setting,
                                                  const ColourTolerance& tolerance);

// The names of a class: the code of the JSON lines ("BG_BLUE"), Chinese
// ("蓝色") and English ("blue"). Any names all three.
struct ColourNames {
    const char* code;
    const char* zh;
    const char* en;
};
ColourNames NamesOf(BackgroundColor colour);

// Pixel count of the 4-connected region around (x, y) whose channels all lie within the
// background fill range of the seed pixel's. Draws a marker colour (three draws of rng) as a
// painted fill would.
std::int64_t MeasureFillArea(const cv::Mat& photo, int x, int y, cv::RNG& rng);

// The three fills from the sample row, measured once the colour is accepted.
struct BackgroundFills {
    std::array<std::int64_t, 3> areas{};  // seeds at the left, middle and right samples
    std::uint64_t meanArea = 0;
    double coverage = 0;  // meanArea / (rows*cols)
};

struct BackgroundTrace {
    cv::Vec3b sampleRgb{};  // mean sample colour as red, green, blue
    Hsv hsv{};
    std::optional<BackgroundColor> backgroundClass;  // none when unclassified
    std::optional<BackgroundFills> fills;            // set when the setting accepted the class
};

struct BackgroundCheck {
    bool accepted = false;
    BackgroundTrace trace;
    RuleDecision decision;  // why it was refused: no class, the setting, the coverage
};

// Accepted when the top band of the photo (8-bit, 3 channels, blue-green-red) shows a
// background of a class that `color` accepts and the mean of the three fill areas from the
// sample row covers strictly more than the coverage limit of the photo. Advances rng by 9 draws
// when the colour stage passes and by none otherwise.
BackgroundCheck CheckBackground(const cv::Mat& photo, BackgroundColor color, cv::RNG& rng);

}  // namespace quorvel
