// The verifier's checks made from the walk of a file's structure alone,
// before anything is decoded.
#include <algorithm>
#include <climits>
#include <cmath>
#include <opencv2/imgcodecs.hpp>

#include "core/analysis/HeadCrop.h"
#include "core/verify/PhotoChecks.h"
#include "core/verify/SaveStructure.h"
#include "core/verify/VerifyExplanation.h"

namespace quorvel::verify_checks {

namespace {

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

bool CheckQuantisation(const ImageStructure& walk, GenuineCheck& result) {
    const std::vector<QuantisationTable>& saved = SavedQuantisation();
    int matching = 0;
    for (const QuantisationTable& table : walk.quantisation) {
        if (std::find(saved.begin(), saved.end(), table) != saved.end()) ++matching;
    }
    const int tables = static_cast<int>(walk.quantisation.size());
    const int expected = static_cast<int>(saved.size());
    const std::optional<int> quality =
        walk.quantisation.empty() ? std::nullopt : QualityOf(walk.quantisation.front());
    const bool passed = tables == expected && matching == expected;
    AddCheck(result, ExplainQuantisation(tables, matching, expected, quality), passed);
    return passed;
}

// The size the header claims, when it is one a save in the size mode has.
std::optional<cv::Size> CheckClaimedSize(const ImageStructure& walk, SizeMode sizeMode,
                                         GenuineCheck& result) {
    const Result<ImageHeader> header = walk.Header();
    if (!header) {
        AddCheck(result, ExplainHeaderUnreadable(header.error().message), false);
        return std::nullopt;
    }
    // Far beyond any save: compared as 64-bit numbers before they become ints.
    const std::optional<rules::SizeModeParams> mode = SizeModeParamsFor(sizeMode);
    const bool fits = mode && header->width >= static_cast<std::uint32_t>(mode->narrowWidth) &&
                      header->width <= static_cast<std::uint32_t>(mode->wideWidth) &&
                      header->height == static_cast<std::uint32_t>(header->width * mode->aspect);
    const cv::Size size(static_cast<int>(std::min<std::uint32_t>(header->width, INT32_MAX)),
                        static_cast<int>(std::min<std::uint32_t>(header->height, INT32_MAX)));
    AddCheck(result, ExplainSavedSize(size, static_cast<int>(sizeMode)), fits);
    if (!fits) return std::nullopt;
    return size;
}

}  // namespace

std::optional<cv::Size> CheckStructure(std::string_view image, const ImageStructure& walk,
                                       bool marker, SizeMode sizeMode, GenuineCheck& result) {
    // What the data is and the size it claims, from its first bytes: nothing
    // of another format or size is looked at further.
    const bool saveFormat = walk.format == ImageFormat::Jpeg || walk.format == ImageFormat::Png ||
                            walk.format == ImageFormat::Bmp;
    result.format = saveFormat ? ImageFormatName(walk.format) : "image";
    AddCheck(result,
             ExplainFormat(result.format, saveFormat ? std::nullopt : ForeignFormatName(image)),
             saveFormat);
    if (!saveFormat) return std::nullopt;
    const std::optional<cv::Size> claimed = CheckClaimedSize(walk, sizeMode, result);
    if (!claimed) return std::nullopt;

    const std::optional<CostExcess> excess = CheckDecodingCost(walk.format, walk.work);
    AddCheck(result, ExplainCost(walk.format, walk.work, excess), !excess);
    bool laidOut = !excess;
    if (marker) {
        const bool complete = walk.end == image.size();
        AddCheck(result, ExplainLayout(walk, image.size(), true), complete);
        laidOut = laidOut && complete;
    }
    const std::optional<std::string> structure =
        SaveStructureProblem(image, walk, static_cast<std::uint32_t>(claimed->width),
                             static_cast<std::uint32_t>(claimed->height));
    AddCheck(result, ExplainStructure(result.format, structure), !structure.has_value());
    laidOut = laidOut && !structure;
    if (walk.format == ImageFormat::Jpeg) laidOut = CheckQuantisation(walk, result) && laidOut;
    if (!laidOut) return std::nullopt;
    return claimed;
}

}  // namespace quorvel::verify_checks
