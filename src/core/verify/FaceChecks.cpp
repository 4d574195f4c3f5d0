#include <algorithm>
#include <climits>
#include <cmath>
#include <opencv2/imgproc.hpp>

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
    const double minK = mode.downwardPass ? rules::kPassBEnd + rules::kKStep : rules::kPassAStart;
    const double maxK = rules::kPassAEnd - rules::kKStep;
    b.minShare = minK / (minK + 1);
    b.maxShare = maxK / (maxK + 1);
    return b;
}

// A face wider than the output (the crop search can make the frame narrower
// than the face) is cut at the photo's sides, and the detector finds none.
// On the photo with its edges extended by this share of its width on every
// side it finds it again, within the width jitter (measured: faces 1.0 to 1.43
// times the output's width, found 0.86 to 0.94 as wide). Only faces at least
// this share of the photo's width are taken from there.
constexpr double kWideFaceBorder = 0.40;
constexpr double kWideFaceMinShare = 0.90;

std::vector<cv::Rect> FindWideFaces(cv::CascadeClassifier& cascade, const cv::Mat& photo) {
    const int border = static_cast<int>(photo.cols * kWideFaceBorder);
    cv::Mat wider;
    cv::copyMakeBorder(photo, wider, border, border, border, border, cv::BORDER_REPLICATE);
    std::vector<cv::Rect> faces;
    for (cv::Rect face : FindFaces(cascade, wider)) {
        if (face.width < kWideFaceMinShare * photo.cols) continue;
        faces.push_back(face - cv::Point(border, border));
    }
    return faces;
}

}  // namespace

void CheckFace(const cv::Mat& photo, cv::CascadeClassifier& cascade,
               const std::optional<rules::SizeModeParams>& mode, GenuineCheck& result) {
    result.faces = FindFaces(cascade, photo);
    const bool wide = result.faces.empty();
    if (wide) result.faces = FindWideFaces(cascade, photo);
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
    // The photo itself bounds what the detector finds in it.
    const double widestShare = (1 + kFaceWidthJitter) / (1 + bounds.minSpread);
    const double maxShare = wide ? widestShare : std::min(1.0, widestShare);
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
    // A face found on the extended photo may begin above its top row.
    const int lowest =
        std::max(wide ? INT_MIN / 2 : 0, static_cast<int>(std::floor(lowTop)) - kPixelSlack);
    const int highest = static_cast<int>(std::ceil(highTop)) + kPixelSlack;
    AddCheck(result, ExplainFaceTop(face.y, lowest, highest),
             face.y >= lowest && face.y <= highest);
}

}  // namespace quorvel::verify_checks
