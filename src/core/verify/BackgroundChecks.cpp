#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "core/analysis/Background.h"
#include "core/analysis/FloodFill.h"
#include "core/verify/PhotoChecks.h"
#include "core/verify/VerifyExplanation.h"

namespace quorvel::verify_checks {

namespace {

constexpr ColourTolerance kColourTolerance{rules::kVerifyHueTolerance,
                                           rules::kVerifyWhiteSaturationTolerance,
                                           rules::kVerifyValueTolerance};
constexpr double kMaxShadeDifference = rules::kVerifyMaxShadeDifference;

bool Accepts(BackgroundColor setting, BackgroundColor backgroundClass) {
    return setting == BackgroundColor::Any || setting == backgroundClass;
}

// The audit's class of a colour; the tolerance only for the classes the
// setting accepts, where the audit gives none.
std::optional<BackgroundColor> ClassOf(const Hsv& hsv, BackgroundColor setting) {
    return ClassifyBackground(hsv, setting, kColourTolerance);
}

Hsv HsvOf(const cv::Vec3b& bgr) { return RgbToHsv(bgr[2], bgr[1], bgr[0]); }

// ---- The background -------------------------------------------------------

// A plain region reaching the top on one side of the head.
struct BackdropRegion {
    bool found = false;
    bool inClass = false;  // its colour is of a class (see ClassOf)
    cv::Vec3b bgr;         // the colour at its seed
    int area = 0;
    cv::Mat mask;  // (rows + 2) x (cols + 2), as the fills make it
};

cv::Vec3b BlockMean(const cv::Mat& photo, cv::Point at) {
    const cv::Rect block =
        cv::Rect(at.x - rules::kVerifyColourBlock / 2, at.y - rules::kVerifyColourBlock / 2,
                 rules::kVerifyColourBlock, rules::kVerifyColourBlock) &
        cv::Rect(0, 0, photo.cols, photo.rows);
    const cv::Scalar mean = cv::mean(photo(block));
    return cv::Vec3b(cv::saturate_cast<uchar>(mean[0]), cv::saturate_cast<uchar>(mean[1]),
                     cv::saturate_cast<uchar>(mean[2]));
}

// The regions filled as the audit fills (fixed range from the seed) from
// seeds on the top rows between the corner and the head's middle column,
// each seed not yet inside an earlier region.
std::vector<BackdropRegion> FindRegions(const cv::Mat& photo, int middle, bool left,
                                        BackgroundColor setting) {
    std::vector<BackdropRegion> regions;
    cv::Mat covered = cv::Mat::zeros(photo.rows + 2, photo.cols + 2, CV_8UC1);
    const int step = std::max(1, photo.cols / (2 * rules::kVerifySeedsPerSide));
    for (int row : rules::kVerifySeedRows) {
        if (row >= photo.rows) continue;
        for (int i = 0; i < rules::kVerifySeedsPerSide; ++i) {
            const int x =
                left ? rules::kSampleInset + i * step : photo.cols - rules::kSampleInset - i * step;
            if (x < 0 || x >= photo.cols || (left ? x >= middle : x <= middle)) break;
            if (covered.at<uchar>(row + 1, x + 1) != 0) continue;
            BackdropRegion side;
            side.found = true;
            side.area =
                FillRegionMask(photo, cv::Point(x, row), rules::kBackgroundFillRange, side.mask);
            cv::bitwise_or(covered, side.mask, covered);
            side.bgr = BlockMean(photo, cv::Point(x, row));
            side.inClass = ClassOf(HsvOf(side.bgr), setting).has_value();
            regions.push_back(std::move(side));
        }
    }
    return regions;
}

// The largest region of a class the setting accepts when there is one (not
// the hair in a corner), else of any colour class, else any.
BackdropRegion LargestRegion(const std::vector<BackdropRegion>& regions, BackgroundColor setting) {
    const BackdropRegion* best = nullptr;
    int bestRank = -1;
    for (const BackdropRegion& side : regions) {
        const std::optional<BackgroundColor> found = ClassOf(HsvOf(side.bgr), setting);
        const int rank = found && Accepts(setting, *found) ? 2 : found ? 1 : 0;
        if (best == nullptr || rank > bestRank || (rank == bestRank && side.area > best->area)) {
            best = &side;
            bestRank = rank;
        }
    }
    return best != nullptr ? *best : BackdropRegion{};
}

// The largest channel difference of two regions' colours.
int ShadeDifference(const BackdropRegion& a, const BackdropRegion& b) {
    int difference = 0;
    for (int ch = 0; ch < 3; ++ch) {
        difference = std::max(difference, std::abs(a.bgr[ch] - b.bgr[ch]));
    }
    return difference;
}

// Whether two regions are one backdrop: they share pixels (above the head),
// or their shades are close enough for a gradient between them.
bool OneBackdrop(const BackdropRegion& a, const BackdropRegion& b) {
    if (ShadeDifference(a, b) <= kMaxShadeDifference) return true;
    const cv::Rect inside(1, 1, a.mask.cols - 2, a.mask.rows - 2);
    cv::Mat shared;
    cv::bitwise_and(a.mask(inside), b.mask(inside), shared);
    return cv::countNonZero(shared) > 0;
}

// The first class the setting accepts among mixes of the two colours (a
// gradient between two accepted shades passes where the audit's mean of
// samples along it would).
std::optional<BackgroundColor> AcceptedMix(const cv::Vec3b& a, const cv::Vec3b& b,
                                           BackgroundColor setting) {
    for (int step = 0; step <= rules::kVerifyMixSteps; ++step) {
        cv::Vec3b mix;
        for (int ch = 0; ch < 3; ++ch) {
            mix[ch] = static_cast<uchar>((a[ch] * (rules::kVerifyMixSteps - step) + b[ch] * step) /
                                         rules::kVerifyMixSteps);
        }
        const std::optional<BackgroundColor> found = ClassOf(HsvOf(mix), setting);
        if (found && Accepts(setting, *found)) return found;
    }
    return std::nullopt;
}

}  // namespace

void CheckBackgroundOf(const cv::Mat& photo, int middle, BackgroundColor setting,
                       GenuineCheck& result) {
    if (photo.rows <= rules::kVerifySeedRows[0] || photo.cols <= 2 * rules::kSampleInset) {
        AddCheck(result, ExplainBackgroundRegion(false, false, 0, kMaxShadeDifference), false);
        return;
    }
    const std::vector<BackdropRegion> lefts = FindRegions(photo, middle, true, setting);
    const std::vector<BackdropRegion> rights = FindRegions(photo, middle, false, setting);
    // The largest pair of one backdrop in a class the setting accepts; else
    // each side's largest region, to say what is wrong.
    BackdropRegion left, right;
    for (const BackdropRegion& l : lefts) {
        for (const BackdropRegion& r : rights) {
            if (l.inClass && r.inClass && l.area + r.area > left.area + right.area &&
                OneBackdrop(l, r) && AcceptedMix(l.bgr, r.bgr, setting)) {
                left = l;
                right = r;
            }
        }
    }
    if (!left.found) {
        left = LargestRegion(lefts, setting);
        right = LargestRegion(rights, setting);
    }
    const bool found = left.found && right.found;
    const int difference = found ? ShadeDifference(left, right) : 0;
    AddCheck(result,
             ExplainBackgroundRegion(left.found, right.found, difference, kMaxShadeDifference),
             found && OneBackdrop(left, right));
    if (!found) return;

    const Hsv leftHsv = HsvOf(left.bgr);
    const Hsv rightHsv = HsvOf(right.bgr);
    const bool inClass = left.inClass && right.inClass;
    AddCheck(result, ExplainBackgroundColourOf(leftHsv, rightHsv, inClass, kColourTolerance),
             inClass);
    if (inClass) {
        result.backgroundClass = AcceptedMix(left.bgr, right.bgr, setting);
        cv::Vec3b mean;
        for (int ch = 0; ch < 3; ++ch)
            mean[ch] = static_cast<uchar>((left.bgr[ch] + right.bgr[ch]) / 2);
        std::optional<BackgroundColor> named = result.backgroundClass;
        if (!named) named = ClassOf(HsvOf(mean), setting);
        if (!named) named = ClassOf(leftHsv, setting);
        AddCheck(result,
                 ExplainBackgroundSettingOf(named, setting, result.backgroundClass.has_value()),
                 result.backgroundClass.has_value());
    }

    // The fills' masks carry a one-pixel frame the fill itself marks.
    const cv::Rect inside(1, 1, photo.cols, photo.rows);
    cv::Mat both;
    cv::bitwise_or(left.mask(inside), right.mask(inside), both);
    result.backgroundCoverage =
        static_cast<double>(cv::countNonZero(both)) / static_cast<double>(photo.total());
    AddCheck(
        result,
        ExplainBackgroundCoverageOf(result.backgroundCoverage, rules::kVerifyMinBackgroundCoverage),
        result.backgroundCoverage >= rules::kVerifyMinBackgroundCoverage);
}

}  // namespace quorvel::verify_checks
