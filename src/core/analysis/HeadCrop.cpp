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

// Fills `result` with an accepted frame, its resize factor and output width.
void Accept(FrameSearch& result, const CandidateFrame& frame, double s, double t, int width) {
    result.accepted = true;
    result.frame = frame;
    result.spread = s;
    result.scale = t;
    result.outputWidth = width;
}

// Counts the edge a frame that does not fit reaches past.
void CountEdgeMiss(const SizeModeParams& p, const CandidateFrame& f, cv::Size size,
                   FrameMisses& misses) {
    if (f.top < 0) {
        ++misses.top;
    } else if (static_cast<int>(f.width() * p.aspect + f.top) > size.height) {
        ++misses.bottom;
    } else {
        ++misses.side;
    }
}

// The first fitting frame of a search decides: narrowed to the mode's wide
// width, kept as it is, or enlarged to its narrow width when that takes a
// small enough factor. Narrowing also applies
// to a widened frame, so the output stays within the mode's widths.
bool DecideWidth(const SizeModeParams& p, const CandidateFrame& f, double s, FrameSearch& result) {
    const int w = f.width();
    if (w >= p.wideWidth) {
        Accept(result, f, s, static_cast<double>(p.wideWidth) / w, p.wideWidth);
        return true;
    }
    if (w >= p.narrowWidth) {
        Accept(result, f, s, 1.0, w);
        return true;
    }
    const double t = static_cast<double>(p.narrowWidth) / w;
    if (t < rules::kMaxEnlargement) {
        Accept(result, f, s, t, p.narrowWidth);
        return true;
    }
    return false;
}

// One trial for head-room factor k; true when it accepts a frame.
bool RunTrial(const SizeModeParams& p, const cv::Rect& face, int h, cv::Size size, double k,
              FrameSearch& result) {
    const double m = k / (k + 1);
    const double u = ((1 / m) * h + face.width) / (face.width * p.aspect) - 1;
    result.headRoomFactor = k;
    result.minimumSpread = u;
    result.minimumFrame = FrameForSpread(p, face, u, m, size);
    if (!result.minimumFrame.fits) {
        CountEdgeMiss(p, result.minimumFrame, size, result.misses);
        return false;
    }

    const CandidateFrame preferred = FrameForSpread(p, face, rules::kPreferredSpread, m, size);
    if (preferred.fits) {
        // Wide enough: narrowed to the wide width or kept, never enlarged.
        if (preferred.width() >= p.narrowWidth) {
            return DecideWidth(p, preferred, rules::kPreferredSpread, result);
        }
        // Too narrow: widen until a frame fits; the first one decides.
        const WidenedFrame widened = WidenFrame(p, face, m, size);
        if (!widened.frame.fits) {
            CountEdgeMiss(p, widened.frame, size, result.misses);
            return false;
        }
        if (DecideWidth(p, widened.frame, widened.spread, result)) return true;
        ++result.misses.enlarge;  // the photo has too few pixels
        return false;
    }

    // Too wide for the photo: narrow down towards u; the first frame that fits decides.
    // Should that fail too, the edge the preferred frame reached past is to blame.
    constexpr double kFirstNarrowed = rules::kPreferredSpread - rules::kSpreadStep;
    if (u - rules::kSpreadStep <= kFirstNarrowed) {
        for (double s = kFirstNarrowed; s >= u - rules::kSpreadStep; s -= rules::kSpreadStep) {
            const CandidateFrame f = FrameForSpread(p, face, s, m, size);
            if (f.fits) {
                if (DecideWidth(p, f, s, result)) return true;
                break;
            }
        }
    }
    CountEdgeMiss(p, preferred, size, result.misses);
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

CandidateFrame FrameForSpread(const SizeModeParams& p, const cv::Rect& face, double s, double m,
                              cv::Size photoSize) {
    const int e = face.width / 2;
    const int q = face.height / 2;
    CandidateFrame f;
    f.left = static_cast<int>(face.x - e * s);
    f.right = static_cast<int>((face.x + face.width) + e * s);
    f.top = static_cast<int>(face.y - ((p.slope * s + rules::kFrameTopBase) * m) * q);
    const int bottom = static_cast<int>(f.width() * p.aspect + f.top);
    f.fits = f.left >= 0 && f.top >= 0 && f.right <= photoSize.width && bottom <= photoSize.height;
    return f;
}

WidenedFrame WidenFrame(const SizeModeParams& p, const cv::Rect& face, double m,
                        cv::Size photoSize) {
    WidenedFrame widened;
    for (double s = rules::kPreferredSpread + rules::kSpreadStep; s <= rules::kMaxSpread;
         s += rules::kSpreadStep) {
        widened.frame = FrameForSpread(p, face, s, m, photoSize);
        widened.spread = s;
        if (widened.frame.fits) break;
    }
    return widened;
}

std::vector<HeadRoomFactor> HeadRoomFactors(const SizeModeParams& p) {
    // The steps accumulate in doubles: pass A ends at k = 1.95, pass B at 0.55.
    std::vector<HeadRoomFactor> factors;
    for (double k = rules::kUpwardPassStart; k <= rules::kUpwardPassEnd;
         k += rules::kHeadRoomFactorStep) {
        factors.push_back({k, 'A'});
    }
    if (!p.downwardPass) return factors;
    for (double k = rules::kUpwardPassStart; k >= rules::kDownwardPassEnd;
         k -= rules::kHeadRoomFactorStep) {
        factors.push_back({k, 'B'});
    }
    return factors;
}

double LeastFaceShare(const SizeModeParams& p) {
    // A face far from the photo's left, right and top edges: only the bottom
    // stops a frame, and a frame's width and its bottom's distance from the
    // face do not depend on where the face lies.
    constexpr int kFar = 100000;
    double least = 1;
    for (int side = rules::kDetectMinFaceSide;; ++side) {
        const cv::Rect face(kFar, kFar, side, side);
        const CandidateFrame preferred =
            FrameForSpread(p, face, rules::kPreferredSpread, 1, cv::Size(2 * kFar, 2 * kFar));
        least = std::min(least, static_cast<double>(side) / preferred.width());
        // Frames as wide as the narrow width or wider are never widened.
        if (preferred.width() >= p.narrowWidth) return least;
        for (const HeadRoomFactor& factor : HeadRoomFactors(p)) {
            const double m = factor.k / (factor.k + 1);
            const CandidateFrame atOne =
                FrameForSpread(p, face, rules::kPreferredSpread, m, cv::Size(2 * kFar, 2 * kFar));
            const int bottom = static_cast<int>(atOne.width() * p.aspect + atOne.top);
            // Photos whose bottom row lets the preferred frame fit but may
            // stop the first widened ones: a step widens a frame by at most
            // two columns and raises its top by at most a row, so its bottom
            // falls by at most five rows.
            for (int rows = bottom; rows <= bottom + 8; ++rows) {
                const WidenedFrame widened = WidenFrame(p, face, m, cv::Size(2 * kFar, rows));
                FrameSearch accepted;
                if (!widened.frame.fits ||
                    !DecideWidth(p, widened.frame, widened.spread, accepted)) {
                    continue;
                }
                least = std::min(least, static_cast<double>(side) / widened.frame.width());
            }
        }
    }
}

FrameSearch SearchFrame(const SizeModeParams& p, const cv::Rect& face, int headTopRow,
                        cv::Size photoSize) {
    FrameSearch result;
    result.headRoom = HeadRoom(face.y, headTopRow);
    // The head top lies above the face; anything else has no frame.
    if (face.width <= 0 || face.height <= 0 || headTopRow < 0 || headTopRow >= face.y) {
        return result;
    }
    for (const HeadRoomFactor& factor : HeadRoomFactors(p)) {
        ++result.trials;
        if (RunTrial(p, face, result.headRoom, photoSize, factor.k, result)) {
            result.pass = factor.pass;
            return result;
        }
    }
    return result;
}

ExtractionPlan PlanExtraction(const FrameSearch& search, double aspect, cv::Size photoSize) {
    const double t = search.scale;
    const int width = search.outputWidth;
    const int height = static_cast<int>(width * aspect);
    ExtractionPlan plan;
    plan.scaled =
        cv::Size(static_cast<int>(photoSize.width * t), static_cast<int>(photoSize.height * t));
    int x = static_cast<int>(search.frame.left * t - 0.5);
    int y = static_cast<int>(search.frame.top * t - 0.5);
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
    if (!tr.headTopRow) return result;

    const FrameSearch& search =
        tr.search.emplace(SearchFrame(params, face, *tr.headTopRow, photo.size()));
    if (!search.accepted) return result;

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
    if (photo.cols <= 0) return {};
    const double ratio = static_cast<double>(face.width) / photo.cols;
    if (ratio > rules::kMaxFaceShare || ratio < rules::kMinFaceShare) return {};
    const std::optional<SizeModeParams> params = SizeModeParamsFor(sizeMode);
    if (!params) return {};
    return CropForSizeMode(*params, face, photo, rng);
}

}  // namespace quorvel
