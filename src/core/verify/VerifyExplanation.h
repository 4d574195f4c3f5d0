#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "core/analysis/Background.h"
#include "core/common/Result.h"
#include "core/config/Settings.h"
#include "core/explain/Explanation.h"
#include "core/io/DecodingCost.h"
#include "core/io/ImageStructure.h"

namespace quorvel {

// The stable identifiers of the verifier's checks, in the order they run.
namespace verify_rule {
inline constexpr const char* kFile = "verify.file";
inline constexpr const char* kMarker = "verify.marker";
inline constexpr const char* kFormat = "verify.format";
inline constexpr const char* kSize = "verify.size";
inline constexpr const char* kCost = "verify.cost";
inline constexpr const char* kLayout = "verify.layout";
inline constexpr const char* kStructure = "verify.structure";
inline constexpr const char* kQuantisation = "verify.quantisation";
inline constexpr const char* kDecode = "verify.decode";
inline constexpr const char* kBackgroundRegion = "verify.background.region";
inline constexpr const char* kBackgroundColour = "verify.background.colour";
inline constexpr const char* kBackgroundSetting = "verify.background.setting";
inline constexpr const char* kBackgroundCoverage = "verify.background.coverage";
inline constexpr const char* kFaceCount = "verify.face.count";
inline constexpr const char* kFaceShare = "verify.face.share";
inline constexpr const char* kFaceCentre = "verify.face.centre";
inline constexpr const char* kFaceTop = "verify.face.top";
}  // namespace verify_rule

// The explanation of each check of the verifier, from what it measured. The
// English sentence names the measured value and the allowed range.
// `length` is the file's length when it is known (a file too large to read).
Explanation ExplainFileRead(const Error& error, std::uintmax_t maxBytes,
                            std::optional<std::uintmax_t> length = std::nullopt);
Explanation ExplainMarker(bool present);
// `format` is the name of the data's format; `foreign` names a format the
// save never writes, when its signature is known.
Explanation ExplainFormat(const std::string& format, const std::optional<std::string>& foreign);
// The header of a JPEG, PNG or BMP cannot be read (cut short, malformed).
Explanation ExplainHeaderUnreadable(const std::string& why);
// `markerAt` is where the pass marker starts; `decoded` tells whether data
// of another format decodes.
Explanation ExplainLayout(const ImageStructure& layout, std::uint64_t markerAt, bool decoded);
// What decoding the data would cost (`work`, counted by the walk), and the
// cap it goes beyond when it does.
Explanation ExplainCost(ImageFormat format, const DecodingWork& work,
                        const std::optional<CostExcess>& excess);
// `problem` is the first difference from what the save's encoder writes.
Explanation ExplainStructure(const std::string& format, const std::optional<std::string>& problem);
// `damage` is libjpeg's warning or error for damaged JPEG data.
Explanation ExplainDecode(bool decoded, cv::Size size,
                          const std::optional<std::string>& damage = std::nullopt);
// PNG or BMP data that cannot be read (`damage`, in English), or whose bytes
// differ from what the save's encoder writes for the pixels it holds
// (`difference`): the decode check fails.
Explanation ExplainDataDamaged(const std::string& format, const std::string& damage);
Explanation ExplainEncodingDiffers(const std::string& format, const std::string& difference);
Explanation ExplainSavedSize(cv::Size size, int sizeSetting);
// `quality` is the libjpeg quality the luminance table corresponds to, when
// it can be told.
Explanation ExplainQuantisation(int tables, int matching, int expected, std::optional<int> quality);
// `difference` is the largest channel difference of the two sides' shades;
// regions that share no pixels are one backdrop when it is at most `allowed`.
Explanation ExplainBackgroundRegion(bool left, bool right, int difference, double allowed);
Explanation ExplainBackgroundColourOf(const Hsv& left, const Hsv& right, bool inClass,
                                      const ColourTolerance& tolerance);
Explanation ExplainBackgroundSettingOf(std::optional<BackgroundColor> found,
                                       BackgroundColor setting, bool accepted);
Explanation ExplainBackgroundCoverageOf(double coverage, double minimum);
Explanation ExplainFaceCountOf(std::size_t count);
Explanation ExplainFaceShareOf(double share, double minimum, double maximum);
Explanation ExplainFaceCentre(double offset, double allowed);
Explanation ExplainFaceTop(int row, int lowest, int highest);

}  // namespace quorvel
