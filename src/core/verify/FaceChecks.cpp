#include <algorithm>
#include <climits>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "core/analysis/HeadCrop.h"
#include "core/audit/FaceDetect.h"
#include "core/verify/PhotoChecks.h"
#include "core/verify/VerifyExplanation.h"

namespace quorvel::verify_checks {

namespace {

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
    const double minK = mode.downwardPass ? rules::kDownwardPassEnd + rules::kHeadRoomFactorStep
                                          : rules::kUpwardPassStart;
    const double maxK = rules::kUpwardPassEnd - rules::kHeadRoomFactorStep;
    b.minShare = minK / (minK + 1);
    b.maxShare = maxK / (maxK + 1);
    return b;
}

// Faces wider than the photo, found on the photo with its edges extended
// (rules::kVerifyWideFaceBorder gives why).
std::vector<cv::Rect> FindWideFaces(cv::CascadeClassifier& cascade, const cv::Mat& photo) {
    const int border = static_cast<int>(photo.cols * rules::kVerifyWideFaceBorder);
    cv::Mat wider;
    cv::copyMakeBorder(photo, wider, border, border, border, border, cv::BORDER_REPLICATE);
    std::vector<cv::Rect> faces;
    for (cv::Rect face : FindFaces(cascade, wider)) {
        if (face.width < rules::kVerifyWideFaceMinShare * photo.cols) continue;
        faces.push_back(face - cv::Point(border, border));
    }
    return faces;
}

}  // namespace

double FaceShareFloor(const rules::SizeModeParams& mode) {
    static const double mode1 = LeastFaceShare(rules::kMode1);
    static const double mode2 = LeastFaceShare(rules::kMode2);
    const double least = mode.mode == SizeMode::Mode1 ? mode1 : mode2;
    return least * (1 - rules::kVerifyFaceNarrowing);
}

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
    const double minShare = FaceShareFloor(*mode);
    // The photo itself bounds what the detector finds in it.
    const double widestShare = (1 + rules::kVerifyFaceWidthJitter) / (1 + bounds.minSpread);
    const double maxShare = wide ? widestShare : std::min(1.0, widestShare);
    AddCheck(result, ExplainFaceShareOf(result.faceWidthShare, minShare, maxShare),
             result.faceWidthShare >= minShare && result.faceWidthShare <= maxShare);

    const double offset = std::abs(face.x + face.width / 2.0 - width / 2.0);
    const double allowedOffset =
        rules::kVerifyFaceCentreJitter * face.width + rules::kVerifyPixelSlack;
    AddCheck(result, ExplainFaceCentre(offset, allowedOffset), offset <= allowedOffset);

    // The face's top lies (g s + base) m q t rows below the output's top, with
    // q = fw / 2 for the detector's square faces and s = W / (fw t) - 1 for
    // output width W: y = m / 2 * (g W - (g - base) w) for the true face
    // width w in the output, which lies within the jitter of the measured
    // one and within the spreads the search tries. y falls as w grows.
    const double widest =
        std::min(face.width / (1 - rules::kVerifyFaceWidthJitter), width / (1 + bounds.minSpread));
    const double narrowest =
        std::max(face.width / (1 + rules::kVerifyFaceWidthJitter), width / (1 + bounds.maxSpread));
    auto topRow = [&](double m, double w) {
        return m / 2 * (mode->slope * width - (mode->slope - rules::kFrameTopBase) * w);
    };
    const double lowTop = topRow(bounds.minShare, widest) - rules::kVerifyFaceTopJitter * widest;
    const double highTop =
        topRow(bounds.maxShare, narrowest) + rules::kVerifyFaceTopJitter * narrowest;
    // A face found on the extended photo may begin above its top row.
    const int lowest = std::max(wide ? INT_MIN / 2 : 0,
                                static_cast<int>(std::floor(lowTop)) - rules::kVerifyPixelSlack);
    const int highest = static_cast<int>(std::ceil(highTop)) + rules::kVerifyPixelSlack;
    AddCheck(result, ExplainFaceTop(face.y, lowest, highest),
             face.y >= lowest && face.y <= highest);
}

}  // namespace quorvel::verify_checks
