#include <algorithm>
#include <cmath>

#include "core/audit/FaceDetect.h"
#include "core/verify/PhotoChecks.h"
#include "core/verify/VerifyExplanation.h"

namespace quorvel::verify_checks {

namespace {

// ---- The verifier's own tolerances ----------------------------------------
// Measured by test_verify's genuine set (the README's verification section
// gives the figures): what the save's JPEG quality, a sampling place other than the
// audit's and re-running the detector on the smaller saved photo move.

// The detector finds the face of a saved photo again within these shares of
// its width. Largest seen on genuine saves: width 23.6 %, centre 3.3 %, top
// 10.5 %; about a quarter to twice that more is allowed.
constexpr double kFaceWidthJitter = 0.30;
constexpr double kFaceCentreJitter = 0.08;
constexpr double kFaceTopJitter = 0.15;
// The frame's truncations, the extraction's half-pixel shift and its move
// back inside the scaled photo, in pixels.
constexpr int kPixelSlack = 3;

// ---- The face -------------------------------------------------------------

// What the crop search can produce in a size mode: the spread s of the frame
// (the face is 1 / (1 + s) of the output width) and the head-room share m
// (the face's top lies (g s + base) m / 2 face widths below the frame's top).
struct CropBounds {
    double minSpread, maxSpread, minShare, maxShare;
};

CropBounds BoundsOf(const rules::SizeModeParams& mode) {
    CropBounds b;
    // The narrowing search stops at u - step, and u >= 1 / aspect - 1; a
    // frame whose top lies above the face needs g s + base >= 0.
    b.minSpread =
        std::max(1 / mode.aspect - 1, -rules::kFrameTopBase / mode.slope) - rules::kSpreadStep;
    b.maxSpread = rules::kMaxSpread;
    const double minK = mode.passB ? rules::kPassBEnd + rules::kKStep : rules::kPassAStart;
    const double maxK = rules::kPassAEnd - rules::kKStep;
    b.minShare = minK / (minK + 1);
    b.maxShare = maxK / (maxK + 1);
    return b;
}

}  // namespace

void CheckFace(const cv::Mat& photo, cv::CascadeClassifier& cascade,
               const std::optional<rules::SizeModeParams>& mode, GenuineCheck& result) {
    result.faces = FindFaces(cascade, photo);
    result.face = ChooseFace(result.faces);
    AddCheck(result, ExplainFaceCountOf(result.faces.size()), result.face.has_value());
    if (!result.face || !mode) return;

    const cv::Rect face = *result.face;
    const double width = photo.cols;
    result.faceWidthShare = face.width / width;
    result.centreOffset = (face.x + face.width / 2.0 - width / 2.0) / face.width;
    result.faceTopShare = face.y / width;

    const CropBounds bounds = BoundsOf(*mode);
    const double minShare = (1 - kFaceWidthJitter) / (1 + bounds.maxSpread);
    const double maxShare = std::min(1.0, (1 + kFaceWidthJitter) / (1 + bounds.minSpread));
    AddCheck(result, ExplainFaceShareOf(result.faceWidthShare, minShare, maxShare),
             result.faceWidthShare >= minShare && result.faceWidthShare <= maxShare);

    const double offset = std::abs(face.x + face.width / 2.0 - width / 2.0);
    const double allowedOffset = kFaceCentreJitter * face.width + kPixelSlack;
    AddCheck(result, ExplainFaceCentre(offset, allowedOffset), offset <= allowedOffset);

    // The face's top lies (g s + base) m q t rows below the output's top, with
    // q = fw / 2 for the detector's square faces and s = W / (fw t) - 1 for
    // output width W: y = m / 2 * (g W - (g - base) w) for the true face
    // width w in the output, which lies within the jitter of the measured
    // one and within the spreads the search tries. y falls as w grows.
    const double widest =
        std::min(face.width / (1 - kFaceWidthJitter), width / (1 + bounds.minSpread));
    const double narrowest =
        std::max(face.width / (1 + kFaceWidthJitter), width / (1 + bounds.maxSpread));
    auto topRow = [&](double m, double w) {
        return m / 2 * (mode->slope * width - (mode->slope - rules::kFrameTopBase) * w);
    };
    const double lowTop = topRow(bounds.minShare, widest) - kFaceTopJitter * widest;
    const double highTop = topRow(bounds.maxShare, narrowest) + kFaceTopJitter * narrowest;
    const int lowest = std::max(0, static_cast<int>(std::floor(lowTop)) - kPixelSlack);
    const int highest = static_cast<int>(std::ceil(highTop)) + kPixelSlack;
    AddCheck(result, ExplainFaceTop(face.y, lowest, highest),
             face.y >= lowest && face.y <= highest);
}

}  // namespace quorvel::verify_checks
