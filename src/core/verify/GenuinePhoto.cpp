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
#include "core/verify/ImageLayout.h"
#include "core/verify/JpegScan.h"
#include "core/verify/PhotoChecks.h"
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

// The size the header claims, when it is one a save in the size mode has.
std::optional<cv::Size> CheckClaimedSize(std::string_view image, SizeMode sizeMode,
                                         GenuineCheck& result) {
    const Result<ImageHeader> header = ReadImageHeader(image);
    if (!header) {
        AddCheck(result, ExplainHeaderUnreadable(header.error().message), false);
        return std::nullopt;
    }
    // Far beyond any save: compared as 64-bit numbers before they become ints.
    const std::optional<SizeModeParams> mode = SizeModeParamsFor(sizeMode);
    const bool fits = mode && header->width >= static_cast<std::uint32_t>(mode->narrowWidth) &&
                      header->width <= static_cast<std::uint32_t>(mode->wideWidth) &&
                      header->height == static_cast<std::uint32_t>(header->width * mode->aspect);
    const cv::Size size(static_cast<int>(std::min<std::uint32_t>(header->width, INT32_MAX)),
                        static_cast<int>(std::min<std::uint32_t>(header->height, INT32_MAX)));
    AddCheck(result, ExplainSavedSize(size, static_cast<int>(sizeMode)), fits);
    if (!fits) return std::nullopt;
    return size;
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
    GenuineCheck result;
    const std::string_view bytes(fileBytes);
    result.marker = EndsWithPassMarker(fileBytes);
    AddCheck(result, ExplainMarker(result.marker), result.marker);
    const std::size_t markerAt = result.marker ? bytes.size() - kPassMarkerLength : bytes.size();
    const std::string_view image = bytes.substr(0, markerAt);

    // What the data is and the size it claims, from its first bytes: nothing
    // of another format or size is decoded.
    const ImageLayout layout = WalkImage(bytes);
    result.format = ImageFormatName(layout.format);
    const bool saveFormat = layout.format == ImageFormat::Jpeg ||
                            layout.format == ImageFormat::Png || layout.format == ImageFormat::Bmp;
    AddCheck(result,
             ExplainFormat(result.format, saveFormat ? std::nullopt : ForeignFormatName(image)),
             saveFormat);
    if (!saveFormat) return Finished(result);
    const std::optional<cv::Size> claimed = CheckClaimedSize(image, settings.size, result);
    if (!claimed) return Finished(result);

    if (result.marker)
        AddCheck(result, ExplainLayout(layout, markerAt, true), layout.end == markerAt);
    const std::optional<std::string> structure =
        SaveStructureProblem(image, layout.format, static_cast<std::uint32_t>(claimed->width),
                             static_cast<std::uint32_t>(claimed->height));
    AddCheck(result, ExplainStructure(result.format, structure), !structure.has_value());
    if (layout.format == ImageFormat::Jpeg) CheckQuantisation(layout, result);

    if (StoppedBy(stop, result)) return result;
    // libjpeg's own reading first: OpenCV decodes damaged data without a word.
    const std::string_view data = bytes.substr(0, layout.end.value_or(markerAt));
    const std::optional<std::string> damage =
        layout.format == ImageFormat::Jpeg ? JpegDataProblem(data) : std::nullopt;
    const cv::Mat photo = damage ? cv::Mat() : Decode(data);
    const bool decoded = !photo.empty() && photo.size() == *claimed;
    AddCheck(result, ExplainDecode(decoded, photo.size(), damage), decoded);
    if (!decoded) return Finished(result);
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
    try {
        return CheckGenuinePhoto(*bytes, cascade, settings);
    } catch (const std::bad_alloc&) {
        return FileFailure(Fail(ErrorKind::OutOfMemory, "", ENOMEM, path),
                           "memory ran out while checking the file");
    } catch (const cv::Exception& e) {
        return FileFailure(Fail(ErrorKind::Internal, "", 0, path),
                           std::string("the image library failed: ") + e.what());
    }
}

GenuineCheck CheckGenuinePhotoBytes(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                                    const Settings& settings, const StopCheck& stop) {
    if (fileBytes.size() > kMaxVerifiedFileBytes) {
        return FileFailure(Fail(ErrorKind::TooLarge, "", 0, {}),
                           "the file is " + std::to_string(fileBytes.size()) + " bytes long",
                           fileBytes.size());
    }
    try {
        return CheckGenuinePhoto(fileBytes, cascade, settings, stop);
    } catch (const std::bad_alloc&) {
        return FileFailure(Fail(ErrorKind::OutOfMemory, "", ENOMEM, {}),
                           "memory ran out while checking the file");
    } catch (const cv::Exception& e) {
        return FileFailure(Fail(ErrorKind::Internal, "", 0, {}),
                           std::string("the image library failed: ") + e.what());
    }
}

}  // namespace quorvel
