#include "core/verify/GenuinePhoto.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <string_view>

#include "core/analysis/HeadCrop.h"
#include "core/io/ImageHeader.h"
#include "core/io/RegularFile.h"
#include "core/rules/Rules.h"
#include "core/save/SavePhoto.h"
#include "core/verify/JpegScan.h"
#include "core/verify/PhotoChecks.h"
#include "core/verify/SaveEncoding.h"
#include "core/verify/SaveStructure.h"
#include "core/verify/VerifyExplanation.h"

namespace quorvel {

void verify_checks::AddCheck(GenuineCheck& result, Explanation explanation, bool passed) {
    result.checks.push_back({std::move(explanation), passed});
}

std::vector<std::string> ProblemSentences(const GenuineCheck& check) {
    std::vector<std::string> sentences;
    for (const VerifyCheck& item : check.checks) {
        if (!item.passed)
            sentences.push_back(item.explanation.rule + ": " + item.explanation.textEn);
    }
    return sentences;
}

namespace {

using verify_checks::AddCheck;

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
    AddCheck(result, ExplainFileRead(shown, kMaxVerifiedFileBytes, length), false);
    result.error = std::move(shown);
    return result;
}

GenuineCheck Finished(GenuineCheck& result) {
    result.genuine = std::all_of(result.checks.begin(), result.checks.end(),
                                 [](const VerifyCheck& check) { return check.passed; });
    return std::move(result);
}

// The bytes before the pass marker (all of them when it is missing).
std::string_view ImageBeforeMarker(const std::string& fileBytes) {
    const std::string_view bytes(fileBytes);
    return EndsWithPassMarker(fileBytes) ? bytes.substr(0, bytes.size() - kPassMarkerLength)
                                         : bytes;
}

// A JPEG read by libjpeg's own API first (OpenCV decodes damaged data without
// a word), then decoded; empty, with the decode check failed, when it is
// damaged or not of its header's size.
cv::Mat DecodeJpeg(std::string_view data, const ImageStructure& walk, cv::Size claimed,
                   GenuineCheck& result) {
    const std::optional<std::string> damage = JpegDataProblem(data, walk);
    cv::Mat photo = damage ? cv::Mat() : Decode(data);
    const bool decoded = !photo.empty() && photo.size() == claimed;
    AddCheck(result, ExplainDecode(decoded, photo.size(), damage), decoded);
    return decoded ? photo : cv::Mat();
}

// PNG or BMP pixels, when the data reads and is byte for byte what the
// save's encoder writes for them; else empty, with the decode check failed.
cv::Mat DecodeSavedPixels(std::string_view data, const ImageStructure& walk, cv::Size claimed,
                          GenuineCheck& result) {
    SavedPixels read = ReadSavedPixels(data, walk, claimed);
    if (read.damage) {
        AddCheck(result, ExplainDataDamaged(result.format, *read.damage), false);
        return {};
    }
    const bool decoded = !read.photo.empty() && read.photo.size() == claimed;
    if (decoded && read.difference) {
        AddCheck(result, ExplainEncodingDiffers(result.format, *read.difference), false);
        return {};
    }
    AddCheck(result, ExplainDecode(decoded, read.photo.size()), decoded);
    return decoded ? read.photo : cv::Mat();
}

// The check of bytes received whole, its failures as a verification's error.
template <class Check>
GenuineCheck Guarded(const std::filesystem::path& path, const Check& check) {
    try {
        return check();
    } catch (const std::bad_alloc&) {
        return FileFailure(Fail(ErrorKind::OutOfMemory, "", ENOMEM, path),
                           "memory ran out while checking the file");
    } catch (const cv::Exception& e) {
        return FileFailure(Fail(ErrorKind::Internal, "", 0, path),
                           std::string("the image library failed: ") + e.what());
    }
}

// True, with the check marked stopped, when the caller's stop check says so.
bool StoppedBy(const StopCheck& stop, GenuineCheck& result) {
    if (!stop || !stop()) return false;
    result.stopped = true;
    result.genuine = false;
    return true;
}

}  // namespace

GenuineCheck CheckGenuinePhoto(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                               const Settings& settings, const StopCheck& stop) {
    return CheckGenuinePhoto(fileBytes, WalkForVerification(ImageBeforeMarker(fileBytes)), cascade,
                             settings, stop);
}

GenuineCheck CheckGenuinePhoto(const std::string& fileBytes, const ImageStructure& imageWalk,
                               cv::CascadeClassifier& cascade, const Settings& settings,
                               const StopCheck& stop) {
    GenuineCheck result;
    result.marker = EndsWithPassMarker(fileBytes);
    AddCheck(result, ExplainMarker(result.marker), result.marker);
    const std::string_view image = ImageBeforeMarker(fileBytes);

    // What the data is, the size it claims, what decoding it would cost and
    // whether it is laid out as a save, from one walk of its structure: a
    // file any of these refuses is not decoded.
    const std::optional<cv::Size> claimed =
        verify_checks::CheckStructure(image, imageWalk, result.marker, settings.size, result);
    if (!claimed) return Finished(result);

    if (StoppedBy(stop, result)) return result;
    const std::string_view data =
        image.substr(0, static_cast<std::size_t>(imageWalk.end.value_or(image.size())));
    const cv::Mat photo = imageWalk.format == ImageFormat::Jpeg
                              ? DecodeJpeg(data, imageWalk, *claimed, result)
                              : DecodeSavedPixels(data, imageWalk, *claimed, result);
    if (photo.empty()) return Finished(result);
    result.size = photo.size();

    // The face first: the background is looked for on both sides of it.
    if (StoppedBy(stop, result)) return result;
    GenuineCheck faceChecks;
    verify_checks::CheckFace(photo, cascade, SizeModeParamsFor(settings.size), faceChecks);
    const int middle =
        faceChecks.face ? faceChecks.face->x + faceChecks.face->width / 2 : photo.cols / 2;
    if (StoppedBy(stop, result)) return result;
    verify_checks::CheckBackgroundOf(photo, middle, settings.color, result);
    for (VerifyCheck& check : faceChecks.checks)
        AddCheck(result, std::move(check.explanation), check.passed);
    result.faces = std::move(faceChecks.faces);
    result.face = faceChecks.face;
    result.faceWidthShare = faceChecks.faceWidthShare;
    result.centreOffset = faceChecks.centreOffset;
    result.faceTopShare = faceChecks.faceTopShare;
    return Finished(result);
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
    return Guarded(path, [&] { return CheckGenuinePhoto(*bytes, cascade, settings); });
}

GenuineCheck CheckGenuinePhotoBytes(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                                    const Settings& settings, const StopCheck& stop) {
    if (fileBytes.size() > kMaxVerifiedFileBytes) {
        return FileFailure(Fail(ErrorKind::TooLarge, "", 0, {}),
                           "the file is " + std::to_string(fileBytes.size()) + " bytes long",
                           fileBytes.size());
    }
    return Guarded({}, [&] { return CheckGenuinePhoto(fileBytes, cascade, settings, stop); });
}

GenuineCheck CheckGenuinePhotoBytes(const std::string& fileBytes, const ImageStructure& imageWalk,
                                    cv::CascadeClassifier& cascade, const Settings& settings,
                                    const StopCheck& stop) {
    if (fileBytes.size() > kMaxVerifiedFileBytes) {
        return CheckGenuinePhotoBytes(fileBytes, cascade, settings, stop);  // refused by its length
    }
    return Guarded(
        {}, [&] { return CheckGenuinePhoto(fileBytes, imageWalk, cascade, settings, stop); });
}

}  // namespace quorvel
