#include "core/verify/GenuinePhoto.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "core/analysis/Background.h"
#include "core/analysis/HeadCrop.h"
#include "core/audit/FaceDetect.h"
#include "core/save/SavePhoto.h"

namespace quorvel {

namespace {

constexpr BackgroundColor kClasses[] = {BackgroundColor::White, BackgroundColor::Red,
                                        BackgroundColor::Blue};

// Whether the "color" setting accepts a class (a setting outside 0..3 accepts none).
bool Accepts(BackgroundColor setting, BackgroundColor backgroundClass) {
    return setting == BackgroundColor::Any || setting == backgroundClass;
}

// The crop's frame is centred on the face and spans fw * (1 + s) for a spread s
// from the head-room search: s stays within [u - 0.005, 2.005], and u is at
// least 1 / aspect - 1 (-0.34 in mode 2). So the face takes 1 / 3.005 to
// 1 / 0.66 of the width.
constexpr double kMaxSpread = 2.005;
// Re-running the detector on the saved photo finds the face again with its
// scale step of 1.1 and a shifted window grid: its width moves by up to about
// 15 %, its corner by a tenth of its width.
constexpr double kWidthJitter = 0.15;
constexpr double kPositionJitter = 0.12;
constexpr int kPixelSlack = 3;  // truncations of the frame, the extraction and the rescale
// Head-room share m = k / (k + 1) for k from 0.55 (pass B) or 0.8 up to 1.95.
constexpr double kMinHeadShareModeB = 0.55 / 1.55;
constexpr double kMinHeadShareModeA = 0.8 / 1.8;
constexpr double kMaxHeadShare = 1.95 / 2.95;

// Background: JPEG quality 50 moves a flat colour by a few levels per channel
// and the corner of the crop is not the audit's sample on row 5 of the
// original, so each class boundary is widened by about 8 levels per channel.
constexpr double kHueSlack = 10;  // degrees
constexpr double kSaturationSlack = 0.07;
constexpr double kValueSlack = 0.04;
constexpr double kPlainDeviation = 10;  // per channel, in a corner patch
constexpr double kFillRange = 60;       // the audit's extent fill range
constexpr double kMinCoverage = 0.02;   // share of the photo reached from the two corners

std::string Percent(double share) {
    std::ostringstream out;
    out.precision(0);
    out << std::fixed << share * 100 << " %";
    return out.str();
}

const char* ClassName(BackgroundColor backgroundClass) {
    switch (backgroundClass) {
        case BackgroundColor::White:
            return "white";
        case BackgroundColor::Red:
            return "red";
        case BackgroundColor::Blue:
            return "blue";
        case BackgroundColor::Any:
            break;
    }
    return "no accepted colour";
}

// Recognises complete JPEG, PNG or BMP data: the whole buffer from the
// format's signature to its end marker, nothing after it.
std::string CompleteImageFormat(const std::string& data) {
    auto starts = [&](const char* prefix, std::size_t n) {
        return data.size() >= n && std::memcmp(data.data(), prefix, n) == 0;
    };
    auto ends = [&](const char* suffix, std::size_t n) {
        return data.size() >= n && std::memcmp(data.data() + data.size() - n, suffix, n) == 0;
    };
    if (starts("\xFF\xD8", 2) && ends("\xFF\xD9", 2) && data.size() > 4) return "jpeg";
    if (starts("\x89PNG\r\n\x1A\n", 8) && ends("\0\0\0\0IEND\xAE\x42\x60\x82", 12)) return "png";
    if (starts("BM", 2) && data.size() >= 14) {
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i) {
            length |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[2 + i]))
                      << (8 * i);
        }
        if (length == data.size()) return "bmp";
    }
    return {};
}

// Whether a colour can be a class once the saved photo's shifts are allowed for.
bool NearClass(const Hsv& hsv, BackgroundColor backgroundClass) {
    if (hsv.value < 0.13 - kValueSlack) return false;
    switch (backgroundClass) {
        case BackgroundColor::White:
            return hsv.value >= 0.9 - kValueSlack && hsv.saturation <= 0.13 + kSaturationSlack;
        case BackgroundColor::Red:
            return hsv.hueDefined && (hsv.hue >= 330 - kHueSlack || hsv.hue < 30 + kHueSlack);
        case BackgroundColor::Blue:
            return hsv.hueDefined && hsv.hue >= 180 - kHueSlack && hsv.hue <= 260 + kHueSlack;
        case BackgroundColor::Any:
            break;
    }
    return false;
}

// The class a colour is nearest to among those the setting allows, if any.
std::optional<BackgroundColor> AllowedClass(const Hsv& hsv, BackgroundColor color) {
    const std::optional<BackgroundColor> exact = ClassifyBackground(hsv);
    if (exact && Accepts(color, *exact)) return exact;
    for (BackgroundColor c : kClasses) {
        if (Accepts(color, c) && NearClass(hsv, c)) return c;
    }
    return std::nullopt;
}

void CheckBackgroundOf(const cv::Mat& photo, BackgroundColor color, GenuineCheck& result) {
    const int patch = std::max(6, photo.cols / 30);
    const cv::Rect corners[2] = {cv::Rect(2, 2, patch, patch),
                                 cv::Rect(photo.cols - 2 - patch, 2, patch, patch)};
    cv::Scalar means[2];
    bool plain = true;
    for (int i = 0; i < 2; ++i) {
        cv::Scalar deviation;
        cv::meanStdDev(photo(corners[i]), means[i], deviation);
        for (int ch = 0; ch < 3; ++ch) plain = plain && deviation[ch] <= kPlainDeviation;
    }
    for (int ch = 0; ch < 3; ++ch) plain = plain && std::abs(means[0][ch] - means[1][ch]) <= 30;

    // The extent: both top corners filled as the audit fills, into one mask.
    cv::Mat mask = cv::Mat::zeros(photo.rows + 2, photo.cols + 2, CV_8UC1);
    const int flags = 4 | (255 << 8) | cv::FLOODFILL_FIXED_RANGE | cv::FLOODFILL_MASK_ONLY;
    const cv::Scalar range(kFillRange, kFillRange, kFillRange);
    for (const cv::Rect& corner : corners) {
        cv::Mat scratch = photo;
        cv::floodFill(scratch, mask, corner.tl() + cv::Point(patch / 2, patch / 2), cv::Scalar(),
                      nullptr, range, range, flags);
    }
    result.backgroundCoverage =
        static_cast<double>(cv::countNonZero(mask)) / (static_cast<double>(photo.total()));

    const cv::Scalar mean = (means[0] + means[1]) / 2;
    const Hsv hsv = RgbToHsv(static_cast<std::uint8_t>(std::lround(mean[2])),
                             static_cast<std::uint8_t>(std::lround(mean[1])),
                             static_cast<std::uint8_t>(std::lround(mean[0])));
    if (!plain || result.backgroundCoverage < kMinCoverage) {
        result.problems.push_back(
            "the background is not plain: the top corners differ or reach only " +
            Percent(result.backgroundCoverage) + " of the photo");
        return;
    }
    const std::optional<BackgroundColor> allowed = AllowedClass(hsv, color);
    if (!allowed) {
        const std::optional<BackgroundColor> near = ClassifyBackground(hsv);
        const int setting = static_cast<int>(color);
        std::string text = "the background colour is ";
        text += near ? ClassName(*near) : "not white, red or blue";
        if (setting < 0 || setting > 3) {
            text += ", and the colour setting " + std::to_string(setting) + " accepts none";
        } else if (near && color != BackgroundColor::Any) {
            text += std::string(", but the colour setting accepts only ") + ClassName(color);
        }
        result.problems.push_back(text);
        return;
    }
    result.backgroundClass = allowed;
}

void CheckFace(const cv::Mat& photo, cv::CascadeClassifier& cascade, const SizeModeParams& mode,
               GenuineCheck& result) {
    result.faces = FindFaces(cascade, photo);
    result.face = ChooseFace(result.faces);
    if (!result.face) {
        result.problems.push_back(result.faces.empty()
                                      ? "no face found"
                                      : std::to_string(result.faces.size()) +
                                            " faces found; a passed photo shows one");
        return;
    }
    const cv::Rect face = *result.face;
    const double width = photo.cols;
    result.faceWidthShare = face.width / width;
    result.centreOffset = (face.x + face.width / 2.0 - width / 2.0) / face.width;
    result.faceTopShare = face.y / width;

    const double minShare = (1 - kWidthJitter) / (1 + kMaxSpread);
    const double maxShare = (1 + kWidthJitter) * mode.aspect;
    if (result.faceWidthShare < minShare || result.faceWidthShare > maxShare) {
        result.problems.push_back("the face is " + Percent(result.faceWidthShare) +
                                  " of the photo width; the crop makes it " + Percent(minShare) +
                                  " to " + Percent(std::min(1.0, maxShare)));
        return;
    }
    const double offset = std::abs(face.x + face.width / 2.0 - width / 2.0);
    const double allowedOffset = kPositionJitter * face.width + kPixelSlack;
    if (offset > allowedOffset) {
        result.problems.push_back("the face is not centred: it is " +
                                  std::to_string(std::lround(offset)) +
                                  " pixels off the middle, the crop allows " +
                                  std::to_string(std::lround(allowedOffset)));
    }

    // Face top / photo width = (g s + 0.8) m / (2 (1 + s)) for the square face
    // of the detector; it grows with the spread s and the head-room share m.
    // The spread follows from the face's share of the width, 1 / (1 + s).
    auto topShare = [&](double share, double m) {
        const double s = 1 / share - 1;
        return (mode.slope * s + 0.8) * m * share / 2;
    };
    const double minM = mode.passB ? kMinHeadShareModeB : kMinHeadShareModeA;
    const double low = topShare(std::min(1.5, result.faceWidthShare * (1 + kWidthJitter)), minM) -
                       kPositionJitter * result.faceWidthShare;
    const double high = topShare(result.faceWidthShare / (1 + kWidthJitter), kMaxHeadShare) +
                        kPositionJitter * result.faceWidthShare;
    const int lowRow = static_cast<int>(std::floor(low * width)) - kPixelSlack;
    const int highRow = static_cast<int>(std::ceil(high * width)) + kPixelSlack;
    if (face.y < lowRow || face.y > highRow) {
        result.problems.push_back("the face's top is on row " + std::to_string(face.y) +
                                  "; the crop puts it between rows " +
                                  std::to_string(std::max(0, lowRow)) + " and " +
                                  std::to_string(highRow));
    }
}

}  // namespace

GenuineCheck CheckGenuinePhoto(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                               const Settings& settings) {
    GenuineCheck result;
    result.marker = EndsWithPassMarker(fileBytes);
    const std::string image =
        result.marker ? fileBytes.substr(0, fileBytes.size() - kPassMarkerLength) : fileBytes;
    if (!result.marker) {
        result.problems.push_back("the file does not end with the pass marker");
    } else {
        result.format = CompleteImageFormat(image);
        if (result.format.empty()) {
            result.problems.push_back(
                "the pass marker does not directly follow complete JPEG, PNG or BMP data");
        }
    }

    cv::Mat photo;
    try {
        const cv::Mat raw(1, static_cast<int>(image.size()), CV_8UC1,
                          const_cast<char*>(image.data()));
        if (!image.empty()) photo = cv::imdecode(raw, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        photo = cv::Mat();
    }
    if (photo.empty()) {
        result.problems.push_back("the image data cannot be decoded");
        return result;
    }
    result.size = photo.size();

    const std::optional<SizeModeParams> mode = SizeModeParamsFor(settings.size);
    if (!mode) {
        result.problems.push_back("the size setting " +
                                  std::to_string(static_cast<int>(settings.size)) +
                                  " is not a size mode (1 or 2)");
        return result;
    }
    const int expectedHeight = static_cast<int>(photo.cols * mode->aspect);
    if (photo.cols < mode->narrowWidth || photo.cols > mode->wideWidth ||
        photo.rows != expectedHeight) {
        result.problems.push_back(
            "the photo is " + std::to_string(photo.cols) + " x " + std::to_string(photo.rows) +
            " pixels; size mode " + std::to_string(static_cast<int>(mode->mode)) + " saves " +
            std::to_string(mode->narrowWidth) + " to " + std::to_string(mode->wideWidth) +
            " pixels wide and " + (mode->mode == SizeMode::Mode1 ? "1.4" : "1.5") +
            " times as high");
    }
    if (photo.cols >= 2 * std::max(6, photo.cols / 30) + 4 && photo.rows >= 40) {
        CheckBackgroundOf(photo, settings.color, result);
    } else {
        result.problems.push_back("the photo is too small to show a background");
    }
    CheckFace(photo, cascade, *mode, result);

    result.genuine = result.problems.empty();
    return result;
}

GenuineCheck CheckGenuinePhotoFile(const std::filesystem::path& path,
                                   cv::CascadeClassifier& cascade, const Settings& settings) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        GenuineCheck result;
        result.problems.push_back("the file cannot be read");
        return result;
    }
    return CheckGenuinePhoto(bytes, cascade, settings);
}

}  // namespace quorvel
