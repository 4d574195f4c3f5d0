#include "core/analysis/Background.h"

#include <algorithm>

#include "core/analysis/FloodFill.h"
#include "core/rules/Rules.h"

namespace quorvel {

namespace {

using rules::kSampleRow;

}  // namespace

Hsv RgbToHsv(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const int max = std::max({r, g, b});
    const int min = std::min({r, g, b});
    Hsv hsv;
    hsv.value = max / 255.0;
    if (max == 0) return hsv;  // black: saturation 0, hue -1
    const int d = max - min;
    hsv.saturation = static_cast<double>(d) / max;
    if (d == 0) return hsv;  // grey: no hue
    double h;
    if (r == max) {
        h = static_cast<double>(g - b) / d;
    } else if (g == max) {
        h = static_cast<double>(b - r) / d + 2;
    } else {
        h = static_cast<double>(r - g) / d + 4;
    }
    h = 60 * h;
    if (h < 0) h += 360;
    hsv.hue = h;
    hsv.hueDefined = true;
    return hsv;
}

bool InBackgroundClass(const Hsv& hsv, BackgroundColor backgroundClass,
                       const ColourTolerance& tol) {
    if (hsv.value < rules::kDarkValueBelow - tol.value) return false;
    switch (backgroundClass) {
        case BackgroundColor::White:
            return hsv.value >= rules::kWhiteMinValue - tol.value &&
                   hsv.saturation <= rules::kWhiteMaxSaturation + tol.saturation;
        case BackgroundColor::Red:
            return hsv.hueDefined && (hsv.hue >= rules::kRedHueFrom - tol.hue ||
                                      hsv.hue < rules::kRedHueBelow + tol.hue);
        case BackgroundColor::Blue:
            return hsv.hueDefined && hsv.hue >= rules::kBlueHueFrom - tol.hue &&
                   hsv.hue <= rules::kBlueHueTo + tol.hue;
        case BackgroundColor::Any:
            break;
    }
    return false;
}

Quantity ColourClassLimits(const ColourTolerance& tol) {
    return Quantity{{{"dark_value_below", rules::kDarkValueBelow - tol.value},
                     {"white_min_value", rules::kWhiteMinValue - tol.value},
                     {"white_max_saturation", rules::kWhiteMaxSaturation + tol.saturation},
                     {"red_hue_from", rules::kRedHueFrom - tol.hue},
                     {"red_hue_below", rules::kRedHueBelow + tol.hue},
                     {"blue_hue_from", rules::kBlueHueFrom - tol.hue},
                     {"blue_hue_to", rules::kBlueHueTo + tol.hue}},
                    {},
                    "hsv"};
}

std::optional<BackgroundColor> ClassifyBackground(const Hsv& hsv) {
    for (BackgroundColor backgroundClass : kBackgroundClasses) {
        if (InBackgroundClass(hsv, backgroundClass)) return backgroundClass;
    }
    return std::nullopt;
}

std::optional<BackgroundColor> ClassifyBackground(const Hsv& hsv, BackgroundColor setting,
                                                  const ColourTolerance& tolerance) {
    const auto accepts = [&](BackgroundColor c) {
        return setting == BackgroundColor::Any || setting == c;
    };
    const std::optional<BackgroundColor> found = ClassifyBackground(hsv);
    if (found && accepts(*found)) return found;
    for (BackgroundColor backgroundClass : kBackgroundClasses) {
        if (InBackgroundClass(hsv, backgroundClass,
                              accepts(backgroundClass) ? tolerance : ColourTolerance{})) {
            return backgroundClass;
        }
    }
    return std::nullopt;
}

ColourNames NamesOf(BackgroundColor colour) {
    switch (colour) {
        case BackgroundColor::White:
            return {"BG_WHITE", "白色", "white"};
        case BackgroundColor::Red:
            return {"BG_RED", "红色", "red"};
        case BackgroundColor::Blue:
            return {"BG_BLUE", "蓝色", "blue"};
        case BackgroundColor::Any:
            break;
    }
    return {"", "红、蓝、白色", "red, blue or white"};
}

std::int64_t MeasureFillArea(const cv::Mat& photo, int x, int y, cv::RNG& rng) {
    cv::Mat mask;
    DrawMarkerColour(rng);  // the marker paints nothing here, but the generator advances as usual
    return FillRegionMask(photo, cv::Point(x, y), rules::kBackgroundFillRange, mask);
}

BackgroundCheck CheckBackground(const cv::Mat& photo, BackgroundColor color, cv::RNG& rng) {
    BackgroundCheck check;
    BackgroundTrace& tr = check.trace;

    // Samples and seeds lie on one row, near both edges and in the middle.
    if (photo.type() != CV_8UC3 || photo.rows <= kSampleRow || photo.cols <= rules::kSampleInset) {
        check.decision = DecideBackgroundColour(tr.hsv);
        return check;
    }
    const int cols = photo.cols;
    const int rows = photo.rows;
    const int columns[3] = {rules::kSampleInset, cols / 2, cols - rules::kSampleInset};

    int sum[3] = {0, 0, 0};
    for (int c : columns) {
        const cv::Vec3b& px = photo.at<cv::Vec3b>(kSampleRow, c);
        for (int ch = 0; ch < 3; ++ch) sum[ch] += px[ch];
    }
    const auto red = static_cast<std::uint8_t>(sum[2] / 3);
    const auto green = static_cast<std::uint8_t>(sum[1] / 3);
    const auto blue = static_cast<std::uint8_t>(sum[0] / 3);
    tr.sampleRgb = cv::Vec3b(red, green, blue);
    tr.hsv = RgbToHsv(red, green, blue);
    tr.backgroundClass = ClassifyBackground(tr.hsv);
    if (!tr.backgroundClass) {
        check.decision = DecideBackgroundColour(tr.hsv);
        return check;
    }
    if (color != *tr.backgroundClass && color != BackgroundColor::Any) {
        check.decision = DecideBackgroundSetting(*tr.backgroundClass, color);
        return check;
    }

    // Three fills sharing one mask. A seed with the same pixel value as an
    // earlier seed, inside that seed's region, has exactly that region.
    BackgroundFills& fills = tr.fills.emplace();
    cv::Mat mask;
    int sameRegionAs[3] = {-1, -1, -1};  // the earlier fill whose area a seed shares
    for (int i = 0; i < 3; ++i) {
        DrawMarkerColour(rng);
        if (sameRegionAs[i] >= 0) {
            fills.areas[i] = fills.areas[sameRegionAs[i]];
            continue;
        }
        fills.areas[i] = FillRegionMask(photo, cv::Point(columns[i], kSampleRow),
                                        rules::kBackgroundFillRange, mask);
        const cv::Vec3b seedValue = photo.at<cv::Vec3b>(kSampleRow, columns[i]);
        for (int k = i + 1; k < 3; ++k) {
            if (sameRegionAs[k] < 0 && mask.at<uchar>(kSampleRow + 1, columns[k] + 1) != 0 &&
                photo.at<cv::Vec3b>(kSampleRow, columns[k]) == seedValue) {
                sameRegionAs[k] = i;
            }
        }
    }
    const std::uint64_t total = static_cast<std::uint64_t>(fills.areas[0]) +
                                static_cast<std::uint64_t>(fills.areas[1]) +
                                static_cast<std::uint64_t>(fills.areas[2]);
    fills.meanArea = total / 3;
    fills.coverage = static_cast<double>(fills.meanArea) / (static_cast<double>(rows) * cols);
    check.accepted = fills.coverage > rules::kMinCoverageAbove;
    if (!check.accepted) check.decision = DecideCoverage(*tr.backgroundClass, fills.coverage);
    return check;
}

}  // namespace quorvel
