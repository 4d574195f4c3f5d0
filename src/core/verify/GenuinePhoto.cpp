#include "core/verify/GenuinePhoto.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string_view>

#include "core/analysis/Background.h"
#include "core/analysis/FloodFill.h"
#include "core/audit/FaceDetect.h"
#include "core/io/RegularFile.h"
#include "core/rules/Rules.h"
#include "core/save/SavePhoto.h"
#include "core/verify/ImageLayout.h"
#include "core/verify/VerifyExplanation.h"

namespace quorvel {

namespace {

// ---- The verifier's own tolerances ----------------------------------------
// Measured by test_verify's genuine set (the README's verification section
// gives the figures): what the save's JPEG quality, a sampling place other than the
// audit's and re-running the detector on the smaller saved photo move.

// The colour classes are the audit's, widened a little. Where the verifier
// reads the colour the audit sampled, it never left the audit's classes on
// the genuine set (212 other genuine saves drifted at most 0.3° of hue and
// 0.004 of saturation); hue and value allow about three times that. White's
// saturation allows more: under a vertical gradient, white at the original's
// top, the saved photo's top is read up to 0.17 saturated (0.04 beyond the
// white limit), and a light blue there cannot be told from such a save.
constexpr ColourTolerance kColourTolerance{1.0, 0.08, 0.01};
// The plain regions reaching the top cover at least this share of a saved
// photo. Smallest on genuine saves: 4.3 % and 4.6 % (faces 77 % of the
// width, whose background is a band above the head); a white band of a
// thirtieth of the height over a wall of another colour covers 3.1 %.
constexpr double kMinBackgroundCoverage = 0.035;
// Regions left and right of the head that share no pixels (a head reaching
// the top edge parts them) are one backdrop when their shades differ by no
// more than two fill ranges: a smooth gradient between such shades is
// covered by the two fills from its ends.
constexpr double kMaxShadeDifference = 2 * rules::kBackgroundFillRange;
// The detector finds the face of a saved photo again within these shares of
// its width. Largest seen on genuine saves: width 23.6 %, centre 3.3 %, top
// 10.5 %; about a quarter to twice that more is allowed.
constexpr double kFaceWidthJitter = 0.30;
constexpr double kFaceCentreJitter = 0.08;
constexpr double kFaceTopJitter = 0.15;
// The frame's truncations, the extraction's half-pixel shift and its move
// back inside the scaled photo, in pixels.
constexpr int kPixelSlack = 3;

// Seeds of the background regions: on the audit's sample row and on a row
// below a thin band along the top, from the corner towards the head.
constexpr int kSeedRows[] = {rules::kSampleRow, 3 * rules::kSampleRow};
constexpr int kSeedsPerSide = 6;
// A seed's colour is the mean of this block around it (JPEG noise).
constexpr int kColourBlock = 3;
// Mixes of the two sides' colours tried for a class the setting accepts.
constexpr int kMixSteps = 6;

void AddCheck(GenuineCheck& result, Explanation explanation, bool passed) {
    if (!passed) result.problems.push_back(explanation.rule + ": " + explanation.textEn);
    result.checks.push_back({std::move(explanation), passed});
}

bool Accepts(BackgroundColor setting, BackgroundColor backgroundClass) {
    return setting == BackgroundColor::Any || setting == backgroundClass;
}

std::optional<BackgroundColor> ClassWithin(const Hsv& hsv) {
    for (BackgroundColor c : kBackgroundClasses) {
        if (InBackgroundClass(hsv, c, kColourTolerance)) return c;
    }
    return std::nullopt;
}

Hsv HsvOf(const cv::Vec3b& bgr) { return RgbToHsv(bgr[2], bgr[1], bgr[0]); }

// ---- The file -------------------------------------------------------------

// The quantisation tables of a save, taken from the image library's own
// quality-50 encoder.
const std::vector<QuantisationTable>& SavedQuantisation() {
    static const std::vector<QuantisationTable> tables = [] {
        const cv::Mat sample(16, 16, CV_8UC3, cv::Scalar(200, 120, 40));
        std::vector<uchar> bytes;
        cv::imencode(".jpg", sample, bytes, {cv::IMWRITE_JPEG_QUALITY, rules::kSaveJpegQuality});
        return WalkImage(
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
            .quantisation;
    }();
    return tables;
}

// The libjpeg quality whose scaling of the save's first table gives `table`.
std::optional<int> QualityOf(const QuantisationTable& table) {
    const std::vector<QuantisationTable>& saved = SavedQuantisation();
    if (saved.empty()) return std::nullopt;
    double sum = 0, reference = 0;
    for (int k = 0; k < 64; ++k) {
        sum += table.values[k];
        reference += saved.front().values[k];
    }
    // libjpeg scales its standard tables by 5000 / q below quality 50 and by
    // 200 - 2q from 50 on (in per cent).
    constexpr double q = rules::kSaveJpegQuality;
    constexpr double savedScale = q < 50 ? 5000 / q : 200 - 2 * q;
    const double scale = savedScale * sum / reference;
    const double quality = scale <= 100 ? (200 - scale) / 2 : 5000 / scale;
    return std::clamp(static_cast<int>(std::lround(quality)), 1, 100);
}

void CheckQuantisation(const ImageLayout& layout, GenuineCheck& result) {
    const std::vector<QuantisationTable>& saved = SavedQuantisation();
    int matching = 0;
    for (const QuantisationTable& table : layout.quantisation) {
        if (std::find(saved.begin(), saved.end(), table) != saved.end()) ++matching;
    }
    const int tables = static_cast<int>(layout.quantisation.size());
    const int expected = static_cast<int>(saved.size());
    const std::optional<int> quality =
        layout.quantisation.empty() ? std::nullopt : QualityOf(layout.quantisation.front());
    AddCheck(result, ExplainQuantisation(tables, matching, expected, quality),
             tables == expected && matching == expected);
}

// ---- The background -------------------------------------------------------

// A plain region reaching the top on one side of the head.
struct Side {
    bool found = false;
    bool inClass = false;  // its colour is white, red or blue within the tolerance
    cv::Vec3b bgr;         // the colour at its seed
    int area = 0;
    cv::Mat mask;  // (rows + 2) x (cols + 2), as the fills make it
};

cv::Vec3b BlockMean(const cv::Mat& photo, cv::Point at) {
    const cv::Rect block =
        cv::Rect(at.x - kColourBlock / 2, at.y - kColourBlock / 2, kColourBlock, kColourBlock) &
        cv::Rect(0, 0, photo.cols, photo.rows);
    const cv::Scalar mean = cv::mean(photo(block));
    return cv::Vec3b(cv::saturate_cast<uchar>(mean[0]), cv::saturate_cast<uchar>(mean[1]),
                     cv::saturate_cast<uchar>(mean[2]));
}

// The regions filled as the audit fills (fixed range from the seed) from
// seeds on the top rows between the corner and the head's middle column,
// each seed not yet inside an earlier region.
std::vector<Side> FindRegions(const cv::Mat& photo, int middle, bool left) {
    std::vector<Side> regions;
    cv::Mat covered = cv::Mat::zeros(photo.rows + 2, photo.cols + 2, CV_8UC1);
    const int step = std::max(1, photo.cols / (2 * kSeedsPerSide));
    for (int row : kSeedRows) {
        if (row >= photo.rows) continue;
        for (int i = 0; i < kSeedsPerSide; ++i) {
            const int x =
                left ? rules::kSampleInset + i * step : photo.cols - rules::kSampleInset - i * step;
            if (x < 0 || x >= photo.cols || (left ? x >= middle : x <= middle)) break;
            if (covered.at<uchar>(row + 1, x + 1) != 0) continue;
            Side side;
            side.found = true;
            side.area =
                FillRegionMask(photo, cv::Point(x, row), rules::kBackgroundFillRange, side.mask);
            cv::bitwise_or(covered, side.mask, covered);
            side.bgr = BlockMean(photo, cv::Point(x, row));
            side.inClass = ClassWithin(HsvOf(side.bgr)).has_value();
            regions.push_back(std::move(side));
        }
    }
    return regions;
}

// The largest region of a class the setting accepts when there is one (not
// the hair in a corner), else of any colour class, else any.
Side LargestRegion(const std::vector<Side>& regions, BackgroundColor setting) {
    const Side* best = nullptr;
    int bestRank = -1;
    for (const Side& side : regions) {
        const std::optional<BackgroundColor> found = ClassWithin(HsvOf(side.bgr));
        const int rank = found && Accepts(setting, *found) ? 2 : found ? 1 : 0;
        if (best == nullptr || rank > bestRank || (rank == bestRank && side.area > best->area)) {
            best = &side;
            bestRank = rank;
        }
    }
    return best != nullptr ? *best : Side{};
}

// The largest channel difference of two regions' colours.
int ShadeDifference(const Side& a, const Side& b) {
    int difference = 0;
    for (int ch = 0; ch < 3; ++ch) {
        difference = std::max(difference, std::abs(a.bgr[ch] - b.bgr[ch]));
    }
    return difference;
}

// Whether two regions are one backdrop: they share pixels (above the head),
// or their shades are close enough for a gradient between them.
bool OneBackdrop(const Side& a, const Side& b) {
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
    for (int step = 0; step <= kMixSteps; ++step) {
        cv::Vec3b mix;
        for (int ch = 0; ch < 3; ++ch) {
            mix[ch] = static_cast<uchar>((a[ch] * (kMixSteps - step) + b[ch] * step) / kMixSteps);
        }
        const Hsv hsv = HsvOf(mix);
        for (BackgroundColor c : kBackgroundClasses) {
            if (Accepts(setting, c) && InBackgroundClass(hsv, c, kColourTolerance)) return c;
        }
    }
    return std::nullopt;
}

void CheckBackgroundOf(const cv::Mat& photo, int middle, BackgroundColor setting,
                       GenuineCheck& result) {
    const std::vector<Side> lefts = FindRegions(photo, middle, true);
    const std::vector<Side> rights = FindRegions(photo, middle, false);
    // The largest pair of one backdrop in a class the setting accepts; else
    // each side's largest region, to say what is wrong.
    Side left, right;
    for (const Side& l : lefts) {
        for (const Side& r : rights) {
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
        if (!named) named = ClassWithin(HsvOf(mean));
        if (!named) named = ClassWithin(leftHsv);
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
    AddCheck(result, ExplainBackgroundCoverageOf(result.backgroundCoverage, kMinBackgroundCoverage),
             result.backgroundCoverage >= kMinBackgroundCoverage);
}

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

cv::Mat Decode(std::string_view image) {
    if (image.empty()) return {};
    try {
        const cv::Mat raw(1, static_cast<int>(image.size()), CV_8UC1,
                          const_cast<char*>(image.data()));
        return cv::imdecode(raw, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        return {};
    }
}

GenuineCheck FileFailure(const Error& error, const std::string& message,
                         std::optional<std::uintmax_t> length = std::nullopt) {
    GenuineCheck result;
    Error shown = error;
    shown.message = message;
    result.error = message;
    AddCheck(result, ExplainFileRead(shown, kMaxVerifiedFileBytes, length), false);
    return result;
}

}  // namespace

GenuineCheck CheckGenuinePhoto(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                               const Settings& settings) {
    GenuineCheck result;
    const std::string_view bytes(fileBytes);
    result.marker = EndsWithPassMarker(fileBytes);
    AddCheck(result, ExplainMarker(result.marker), result.marker);

    const std::size_t markerAt = result.marker ? bytes.size() - kPassMarkerLength : bytes.size();
    const ImageLayout layout = WalkImage(bytes);
    result.format = ImageFormatName(layout.format);
    const cv::Mat photo = Decode(bytes.substr(0, layout.end.value_or(markerAt)));
    if (result.marker) {
        // Other formats' ends are not known: their data must decode.
        const bool direct =
            layout.format == ImageFormat::Other ? !photo.empty() : layout.end == markerAt;
        AddCheck(result, ExplainLayout(layout, markerAt, !photo.empty()), direct);
    }
    AddCheck(result, ExplainDecode(!photo.empty(), photo.size()), !photo.empty());
    if (photo.empty()) {
        result.genuine = false;
        return result;
    }
    result.size = photo.size();

    const int sizeSetting = static_cast<int>(settings.size);
    const std::optional<SizeModeParams> mode = SizeModeParamsFor(settings.size);
    const bool sizeFits = mode && photo.cols >= mode->narrowWidth &&
                          photo.cols <= mode->wideWidth &&
                          photo.rows == static_cast<int>(photo.cols * mode->aspect);
    AddCheck(result, ExplainSavedSize(photo.size(), sizeSetting), sizeFits);

    if (layout.format == ImageFormat::Jpeg) CheckQuantisation(layout, result);

    // The face first: the background is looked for on both sides of it.
    GenuineCheck faceChecks;
    CheckFace(photo, cascade, mode, faceChecks);
    const int middle =
        faceChecks.face ? faceChecks.face->x + faceChecks.face->width / 2 : photo.cols / 2;
    if (photo.rows > kSeedRows[0] && photo.cols > 2 * rules::kSampleInset) {
        CheckBackgroundOf(photo, middle, settings.color, result);
    } else {
        AddCheck(result, ExplainBackgroundRegion(false, false, 0, kMaxShadeDifference), false);
    }
    for (VerifyCheck& check : faceChecks.checks)
        AddCheck(result, std::move(check.explanation), check.passed);
    result.faces = std::move(faceChecks.faces);
    result.face = faceChecks.face;
    result.faceWidthShare = faceChecks.faceWidthShare;
    result.centreOffset = faceChecks.centreOffset;
    result.faceTopShare = faceChecks.faceTopShare;

    result.genuine = result.problems.empty();
    return result;
}

GenuineCheck CheckGenuinePhotoFile(const std::filesystem::path& path,
                                   cv::CascadeClassifier& cascade, const Settings& settings) {
    Result<RegularFile> file = RegularFile::Open(path);
    if (!file) return FileFailure(file.error(), file.error().message);
    Result<std::string> bytes = file->ReadAll(kMaxVerifiedFileBytes);
    if (!bytes) {
        if (bytes.error().kind != ErrorKind::TooLarge) {
            return FileFailure(bytes.error(), bytes.error().message);
        }
        return FileFailure(bytes.error(),
                           "the file is " + std::to_string(file->length()) + " bytes long",
                           file->length());
    }
    try {
        return CheckGenuinePhoto(*bytes, cascade, settings);
    } catch (const std::bad_alloc&) {
        return FileFailure(Fail(ErrorKind::OutOfMemory, "", ENOMEM, path),
                           "memory ran out while checking the file");
    } catch (const cv::Exception& e) {
        return FileFailure(Fail(ErrorKind::BadContent, "", 0, path),
                           std::string("the image library failed: ") + e.what());
    }
}

GenuineCheck CheckGenuinePhotoBytes(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                                    const Settings& settings) {
    if (fileBytes.size() > kMaxVerifiedFileBytes) {
        return FileFailure(Fail(ErrorKind::TooLarge, "", 0, {}),
                           "the file is " + std::to_string(fileBytes.size()) + " bytes long",
                           fileBytes.size());
    }
    try {
        return CheckGenuinePhoto(fileBytes, cascade, settings);
    } catch (const std::bad_alloc&) {
        return FileFailure(Fail(ErrorKind::OutOfMemory, "", ENOMEM, {}),
                           "memory ran out while checking the file");
    } catch (const cv::Exception& e) {
        return FileFailure(Fail(ErrorKind::BadContent, "", 0, {}),
                           std::string("the image library failed: ") + e.what());
    }
}

}  // namespace quorvel
