#pragma once

#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "core/config/Settings.h"
#include "core/rules/Decision.h"
#include "core/rules/Rules.h"

namespace quorvel {

using rules::SizeModeParams;

// Parameters of size mode 1 or 2; none for any other setting.
std::optional<SizeModeParams> SizeModeParamsFor(SizeMode sizeMode);

// A crop frame in photo pixels; its height is aspect * width.
struct CandidateFrame {
    int left = 0;
    int top = 0;
    int right = 0;
    bool fits = false;  // inside the photo, bottom test included
    int width() const { return right - left; }
};

// Head-room above the face: from a margin of rows above the head top (never above row 0) to the
// face top.
int HeadRoom(int faceTop, int headTopRow);

// The frame around `face` for a spread and a head-room share, and whether it
// fits in a photo of `photoSize`. The spread widens the frame by that many
// half face widths on each side of the face (1: the frame is twice the face's
// width); the head-room share places the face's top below the frame's top by
// (head slope * spread + kFrameTopBase) * share half face heights.
CandidateFrame FrameForSpread(const SizeModeParams& mode, const cv::Rect& face, double spread,
                              double headRoomShare, cv::Size photoSize);

// The first frame wider than the preferred one (spread 1) that fits, the
// spread growing by its step up to the largest; when none fits, the widest
// tried (frame.fits false).
struct WidenedFrame {
    CandidateFrame frame;
    double spread = 0;
};
WidenedFrame WidenFrame(const SizeModeParams& mode, const cv::Rect& face, double headRoomShare,
                        cv::Size photoSize);

// The head-room factors the frame search tries, in order: the upward pass
// from its start, then (when the mode has it) the downward pass.
struct HeadRoomFactor {
    double factor = 0;
    char pass = 'A';  // 'A' upward, 'B' downward
};
std::vector<HeadRoomFactor> HeadRoomFactors(const SizeModeParams& mode);

// The least share of the output's width the face placed by the frame search
// can take, over every face width the detector gives (square, from the least
// side up), every head-room factor and every photo. A frame of spread s is
// about (1 + s) face widths wide; spreads above 1 come only from widening,
// which stops at the first frame that fits. Every edge but the bottom moves
// outwards as the spread grows; the bottom, the sum of two truncated terms,
// can step back by a row, so a photo whose bottom row stops the first widened
// frame can let one a few steps wider fit. Counted exactly by running the
// widening for every face width that needs it, every factor and every such
// photo height (docs/verification.md gives the figures).
double LeastFaceShare(const SizeModeParams& mode);

// Outcome of the frame search (no pixels involved).
struct FrameSearch {
    int headRoom = 0;
    bool accepted = false;
    char pass = 0;   // 'A' (the upward pass) or 'B' (the downward pass)
    int trials = 0;  // trials evaluated, the accepted one included
    double headRoomFactor =
        0;              // of the accepted (or last) trial; its share is factor / (factor + 1)
    double spread = 0;  // the accepted frame's spread
    double minimumSpread = 0;     // the least spread that keeps the head in the frame
    double scale = 0;             // the photo's scale that brings the frame to the output width
    CandidateFrame minimumFrame;  // frame for the least spread of the last trial
    CandidateFrame frame;         // accepted frame
    int outputWidth = 0;
    FrameMisses misses;  // why each failed trial failed
};

// Searches head-room factors (pass A upward, then pass B downward when the mode has it) for a
// frame that fits the photo and scales to the mode's width range.
FrameSearch SearchFrame(const SizeModeParams& mode, const cv::Rect& face, int headTopRow,
                        cv::Size photoSize);

// Where the accepted frame is cut from the photo scaled by the search's scale.
struct ExtractionPlan {
    cv::Size scaled;     // trunc(cols * scale) x trunc(rows * scale)
    cv::Rect rect;       // inside the scaled photo once padded
    int padColumns = 0;  // edge columns repeated on the right when the scaled photo is too narrow
    int padRows = 0;     // edge rows repeated at the bottom when it is too short
};

// Rectangle at (trunc(left * scale - 0.5), trunc(top * scale - 0.5)), output width x
// trunc(output width * aspect), moved back
// inside when it reaches past the right or bottom edge, with padding for whatever the scaled
// photo still lacks.
ExtractionPlan PlanExtraction(const FrameSearch& search, double aspect, cv::Size photoSize);

// What the crop measured: each stage is set once it ran.
struct CropTrace {
    std::optional<int> headTopRow;             // none when no head top was found
    std::optional<FrameSearch> search;         // the frame search, once the head top is known
    std::optional<ExtractionPlan> extraction;  // the cut of the accepted frame
};

struct CropResult {
    cv::Mat photo;  // the processed photo; empty unless a frame was accepted
    CropTrace trace;
    RuleDecision decision;  // why no frame was accepted
    bool accepted() const { return !photo.empty(); }
};

// First row above the face (rows 0..fy-1) where enough of the face's columns differ from the
// background filled from the top middle. Advances rng by 3 draws.
std::optional<int> FindHeadTop(const cv::Rect& face, const cv::Mat& photo, cv::RNG& rng);

// Head-top search, frame search, then the scaled cut of the frame.
CropResult CropForSizeMode(const SizeModeParams& params, const cv::Rect& face, const cv::Mat& photo,
                           cv::RNG& rng);

// Size mode 1 or 2, face width within the allowed share of the photo width, then the crop.
CropResult FramePhoto(const cv::Rect& face, const cv::Mat& photo, SizeMode sizeMode, cv::RNG& rng);

}  // namespace quorvel
