#include "core/analysis/HeadCrop.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "core/analysis/FloodFill.h"

namespace quorvel {

namespace {

constexpr int kSeedRow = rules::kSampleRow;

bool ValidInput(const cv::Rect& face, const cv::Mat& photo) {
    if (photo.type() != CV_8UC3 || photo.rows <= kSeedRow || photo.cols <= 0) return false;
    if (face.width <= 0 || face.height <= 0) return false;
    return (face & cv::Rect(0, 0, photo.cols, photo.rows)) == face;
}

// Fills `result` with an accepted frame, its spread, the scale that brings
// it to the output width, and that width.
void Accept(FrameSearch& result, const CandidateFrame& frame, double spread, double scale,
            int width) {
    result.accepted = true;
    result.frame = frame;
    result.spread = spread;
    result.scale = scale;
    result.outputWidth = width;
}

// Counts the edge a frame that does not fit reaches past.
void CountEdgeMiss(const SizeModeParams& mode, const CandidateFrame& frame, cv::Size size,
                   FrameMisses& misses) {
    if (frame.top < 0) {
        ++misses.top;
    } else if (static_cast<int>(frame.width() * mode.aspect + frame.top) > size.height) {
        ++misses.bottom;
    } else {
        ++misses.side;
    }
}

// The first fitting frame of a search decides: narrowed to the mode's wide
// width, kept as it is, or enlarged to its narrow width when that takes a
// small enough scale. Narrowing also applies to a widened frame, so the
// output stays within the mode's widths.
bool DecideWidth(const SizeModeParams& mode, const CandidateFrame& frame, double spread,
                 FrameSearch& result) {
    const int width = frame.width();
    if (width >= mode.wideWidth) {
        Accept(result, frame, spread, static_cast<double>(mode.wideWidth) / width, mode.wideWidth);
        return true;
    }
    if (width >= mode.narrowWidth) {
        Accept(result, frame, spread, 1.0, width);
        return true;
    }
    const double scale = static_cast<double>(mode.narrowWidth) / width;
    if (scale < rules::kMaxEnlargement) {
        Accept(result, frame, spread, scale, mode.narrowWidth);
        return true;
    }
    return false;
}

// One trial for a head-room factor; true when it accepts a frame.
bool RunTrial(const SizeModeParams& mode, const cv::Rect& face, int headRoom, cv::Size size,
              double headRoomFactor, FrameSearch& result) {
    const double headRoomShare = headRoomFactor / (headRoomFactor + 1);
    // The least spread whose frame is tall enough for the head-room above the
    // face and the face itself.
    const double leastSpread =
        ((1 / headRoomShare) * headRoom + face.width) / (face.width * mode.aspect) - 1;
    result.headRoomFactor = headRoomFactor;
    result.minimumSpread = leastSpread;
    result.minimumFrame = FrameForSpread(mode, face, leastSpread, headRoomShare, size);
    if (!result.minimumFrame.fits) {
        CountEdgeMiss(mode, result.minimumFrame, size, result.misses);
        return false;
    }

    const CandidateFrame preferred =
        FrameForSpread(mode, face, rules::kPreferredSpread, headRoomShare, size);
    if (preferred.fits) {
        // Wide enough: narrowed to the wide width or kept, never enlarged.
        if (preferred.width() >= mode.narrowWidth) {
            return DecideWidth(mode, preferred, rules::kPreferredSpread, result);
        }
        // Too narrow: widen until a frame fits; the first one decides.
        const WidenedFrame widened = WidenFrame(mode, face, headRoomShare, size);
        if (!widened.frame.fits) {
            CountEdgeMiss(mode, widened.frame, size, result.misses);
            return false;
        }
        if (DecideWidth(mode, widened.frame, widened.spread, result)) return true;
        ++result.misses.enlarge;  // the photo has too few pixels
        return false;
    }

    // Too wide for the photo: narrow down towards the least spread; the first
    // frame that fits decides. Should that fail too, the edge the preferred
    // frame reached past is to blame.
    constexpr double kFirstNarrowed = rules::kPreferredSpread - rules::kSpreadStep;
    if (leastSpread - rules::kSpreadStep <= kFirstNarrowed) {
        for (double spread = kFirstNarrowed; spread >= leastSpread - rules::kSpreadStep;
             spread -= rules::kSpreadStep) {
            const CandidateFrame frame = FrameForSpread(mode, face, spread, headRoomShare, size);
            if (frame.fits) {
                if (DecideWidth(mode, frame, spread, result)) return true;
                break;
            }
        }
    }
    CountEdgeMiss(mode, preferred, size, result.misses);
    return false;
}

}  // namespace

std::optional<SizeModeParams> SizeModeParamsFor(SizeMode sizeMode) {
    if (sizeMode == SizeMode::Mode1) return rules::kMode1;
    if (sizeMode == SizeMode::Mode2) return rules::kMode2;
    return std::nullopt;
}

int HeadRoom(int faceTop, int headTopRow) {
    return headTopRow < rules::kHeadRoomMargin ? faceTop
                                               : faceTop - headTopRow + rules::kHeadRoomMargin;
}

CandidateFrame FrameForSpread(const SizeModeParams& mode, const cv::Rect& face, double spread,
                              double headRoomShare, cv::Size photoSize) {
    const int halfFaceWidth = face.width / 2;
    const int halfFaceHeight = face.height / 2;
    CandidateFrame frame;
    frame.left = static_cast<int>(face.x - halfFaceWidth * spread);
    frame.right = static_cast<int>((face.x + face.width) + halfFaceWidth * spread);
    frame.top = static_cast<int>(
        face.y - ((mode.slope * spread + rules::kFrameTopBase) * headRoomShare) * halfFaceHeight);
    const int bottom = static_cast<int>(frame.width() * mode.aspect + frame.top);
    frame.fits = frame.left >= 0 && frame.top >= 0 && frame.right <= photoSize.width &&
                 bottom <= photoSize.height;
    return frame;
}

WidenedFrame WidenFrame(const SizeModeParams& mode, const cv::Rect& face, double headRoomShare,
                        cv::Size photoSize) {
    WidenedFrame widened;
    for (double spread = rules::kPreferredSpread + rules::kSpreadStep; spread <= rules::kMaxSpread;
         spread += rules::kSpreadStep) {
        widened.frame = FrameForSpread(mode, face, spread, headRoomShare, photoSize);
        widened.spread = spread;
        if (widened.frame.fits) break;
    }
    return widened;
}

std::vector<HeadRoomFactor> HeadRoomFactors(const SizeModeParams& mode) {
    // The steps accumulate in doubles: the upward pass ends at a factor of
    // 1.95, the downward one at 0.55.
    std::vector<HeadRoomFactor> factors;
    for (double factor = rules::kUpwardPassStart; factor <= rules::kUpwardPassEnd;
         factor += rules::kHeadRoomFactorStep) {
        factors.push_back({factor, 'A'});
    }
    if (!mode.downwardPass) return factors;
    for (double factor = rules::kUpwardPassStart; factor >= rules::kDownwardPassEnd;
         factor -= rules::kHeadRoomFactorStep) {
        factors.push_back({factor, 'B'});
    }
    return factors;
}

double LeastFaceShare(const SizeModeParams& mode) {
    // A face far from the photo's left, right and top edges: only the bottom
    // stops a frame, and a frame's width and its bottom's distance from the
    // face do not depend on where the face lies.
    constexpr int kFar = 100000;
    const cv::Size everywhere(2 * kFar, 2 * kFar);
    double least = 1;
    for (int side = rules::kDetectMinFaceSide;; ++side) {
        const cv::Rect face(kFar, kFar, side, side);
        const CandidateFrame preferred =
            FrameForSpread(mode, face, rules::kPreferredSpread, 1, everywhere);
        least = std::min(least, static_cast<double>(side) / preferred.width());
        // Frames as wide as the narrow width or wider are never widened.
        if (preferred.width() >= mode.narrowWidth) return least;
        for (const HeadRoomFactor& trial : HeadRoomFactors(mode)) {
            const double headRoomShare = trial.factor / (trial.factor + 1);
            const CandidateFrame atOne =
                FrameForSpread(mode, face, rules::kPreferredSpread, headRoomShare, everywhere);
            const int bottom = static_cast<int>(atOne.width() * mode.aspect + atOne.top);
            // Photos whose bottom row lets the preferred frame fit but may
            // stop the first widened ones: a step widens a frame by at most
            // two columns and raises its top by at most a row, so its bottom
            // falls by at most five rows.
            for (int rows = bottom; rows <= bottom + 8; ++rows) {
                const WidenedFrame widened =
                    WidenFrame(mode, face, headRoomShare, cv::Size(2 * kFar, rows));
                FrameSearch accepted;
                if (!widened.frame.fits ||
                    !DecideWidth(mode, widened.frame, widened.spread, accepted)) {
                    continue;
                }
                least = std::min(least, static_cast<double>(side) / widened.frame.width());
            }
        }
    }
}

FrameSearch SearchFrame(const SizeModeParams& mode, const cv::Rect& face, int headTopRow,
                        cv::Size photoSize) {
    FrameSearch result;
    result.headRoom = HeadRoom(face.y, headTopRow);
    // The head top lies above the face; anything else has no frame.
    if (face.width <= 0 || face.height <= 0 || headTopRow < 0 || headTopRow >= face.y) {
        return result;
    }
    for (const HeadRoomFactor& trial : HeadRoomFactors(mode)) {
        ++result.trials;
        if (RunTrial(mode, face, result.headRoom, photoSize, trial.factor, result)) {
            result.pass = trial.pass;
            return result;
        }
    }
    return result;
}

ExtractionPlan PlanExtraction(const FrameSearch& search, double aspect, cv::Size photoSize) {
    const double scale = search.scale;
    const int width = search.outputWidth;
    const int height = static_cast<int>(width * aspect);
    ExtractionPlan plan;
    plan.scaled = cv::Size(static_cast<int>(photoSize.width * scale),
                           static_cast<int>(photoSize.height * scale));
    int x = static_cast<int>(search.frame.left * scale - 0.5);
    int y = static_cast<int>(search.frame.top * scale - 0.5);
    // Truncated scaling can leave the rectangle up to a pixel past the right or bottom edge:
    // move it back, and if the scaled photo is narrower or shorter than the rectangle itself,
    // repeat its edge.
    if (x + width > plan.scaled.width) x = plan.scaled.width - width;
    if (y + height > plan.scaled.height) y = plan.scaled.height - height;
    if (x < 0) {
        plan.padColumns = -x;
        x = 0;
    }
    if (y < 0) {
        plan.padRows = -y;
        y = 0;
    }
    plan.rect = cv::Rect(x, y, width, height);
    return plan;
}

std::optional<int> FindHeadTop(const cv::Rect& face, const cv::Mat& photo, cv::RNG& rng) {
    if (!ValidInput(face, photo)) return std::nullopt;
    const cv::Vec3b marker = DrawMarkerColour(rng);
    cv::Mat mask;
    // The fill's reference is the median around the seed, so that a noisy
    // seed pixel does not leave the backdrop full of holes that read as hair.
    const cv::Point seed(photo.cols / 2, kSeedRow);
    const cv::Vec3b reference = PatchMedian(photo, seed, rules::kHeadTopPatchSide);
    FillRegionMaskAround(photo, seed, reference, rules::kHeadTopFillRange, mask);

    // Background is what the fill reached, and any other pixel that happens
    // to have the marker colour (a painted copy would not tell them apart).
    for (int row = 0; row < face.y; ++row) {
        const cv::Vec3b* px = photo.ptr<cv::Vec3b>(row);
        const uchar* filled = mask.ptr<uchar>(row + 1) + 1;
        int count = 0;
        for (int col = face.x; col < face.x + face.width; ++col) {
            if (filled[col] == 0 && px[col] != marker) ++count;
        }
        if (static_cast<double>(count) / face.width >= rules::kHeadTopShare) return row;
    }
    return std::nullopt;
}

CropResult CropForSizeMode(const SizeModeParams& params, const cv::Rect& face, const cv::Mat& photo,
                           cv::RNG& rng) {
    CropResult result;
    CropTrace& tr = result.trace;

    tr.headTopRow = FindHeadTop(face, photo, rng);
    if (!tr.headTopRow) {
        result.decision = DecideHeadTop();
        return result;
    }

    const FrameSearch& search =
        tr.search.emplace(SearchFrame(params, face, *tr.headTopRow, photo.size()));
    if (!search.accepted) {
        result.decision = DecideCropFrame(search.trials, search.misses);
        return result;
    }

    const ExtractionPlan& plan =
        tr.extraction.emplace(PlanExtraction(search, params.aspect, photo.size()));
    cv::Mat scaled;
    cv::resize(photo, scaled, plan.scaled, 0, 0, cv::INTER_AREA);
    if (plan.padColumns > 0 || plan.padRows > 0) {
        cv::copyMakeBorder(scaled, scaled, 0, plan.padRows, 0, plan.padColumns,
                           cv::BORDER_REPLICATE);
    }
    scaled(plan.rect).copyTo(result.photo);
    return result;
}

CropResult FramePhoto(const cv::Rect& face, const cv::Mat& photo, SizeMode sizeMode, cv::RNG& rng) {
    CropResult refused;
    if (photo.cols <= 0) {
        refused.decision = DecideHeadTop();  // no rows above any face
        return refused;
    }
    // A size setting other than 1 or 2 refuses every photo: that decides
    // before the face's share (both refuse without touching the photo).
    const std::optional<SizeModeParams> params = SizeModeParamsFor(sizeMode);
    if (!params) {
        refused.decision = DecideSizeSetting(static_cast<int>(sizeMode));
        return refused;
    }
    const double ratio = static_cast<double>(face.width) / photo.cols;
    if (ratio > rules::kMaxFaceShare || ratio < rules::kMinFaceShare) {
        refused.decision = DecideFaceShare(ratio);
        return refused;
    }
    return CropForSizeMode(*params, face, photo, rng);
}

}  // namespace quorvel
