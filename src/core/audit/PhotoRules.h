#pragma once

#include <cstdint>
#include <filesystem>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/audit/AuditReport.h"
#include "core/common/Result.h"
#include "core/config/Settings.h"
#include "core/io/FileStatus.h"
#include "core/io/ImageStructure.h"
#include "core/io/LibraryMessages.h"
#include "core/io/RegularFile.h"
#include "core/rules/Rules.h"

namespace quorvel {

using rules::kMinFileLength;

// Smallest accepted photo for a size mode, width x height (both inclusive);
// that of mode 1 for any other setting.
cv::Size MinimumPhotoSize(SizeMode sizeMode);

// Longest photo file that is read; a longer one is not a usable photo.
inline constexpr std::uintmax_t kMaxPhotoFileBytes = std::uintmax_t{1} << 30;

// A photo as read from its file: the image and the file's length, both from
// one descriptor, so the file measured is the file decoded.
struct DecodedPhoto {
    cv::Mat image;                             // empty when it did not decode
    std::optional<std::uintmax_t> fileLength;  // nothing when the file could not be read
    std::optional<FileStamp> stamp;            // the file's length and time, once it was opened
    std::vector<std::string> warnings;         // what the decoder said about the file
    std::optional<ClaimedSize> refusedSize;    // the size a header claims beyond the pixel cap
    std::optional<CostExcess> refusedCost;     // the structure asks more than a cap allows
    // Why there is no image: the file could not be opened (missing, a
    // folder, ...), or decoding ran out of memory (OutOfMemory).
    std::optional<Error> failure;
};

// Opens the file once (without blocking; only a regular file is read),
// walks its structure (WalkImage) and refuses undecoded a photo whose header
// claims more than the pixel cap or whose structure asks more of the decoder
// than the caps of decoding cost allow (CheckDecodingCost); otherwise decodes
// it in colour (8-bit, blue-green-red) with the image library's file reader on
// that same descriptor, so that a truncated photo decodes as the library
// reads it from a file. Any failure, including the decoder throwing on an
// oversized or damaged file, gives an empty image. With `messages`, what the
// decoder writes to standard error becomes the photo's warnings.
DecodedPhoto DecodePhoto(const std::filesystem::path& photoFile,
                         LibraryMessages* messages = nullptr);

// The same for a file already open. `walked` is the walk of its bytes when
// the caller made one (that of the bytes before a trailing pass marker does:
// the marker holds no byte a walk reads as structure); without one the file
// is walked here.
DecodedPhoto DecodePhoto(const RegularFile& file, const ImageStructure* walked = nullptr,
                         LibraryMessages* messages = nullptr);

// The verdict of the rules after face detection, with what they measured.
struct RulesCheck {
    Verdict verdict = Verdict::Passed;
    cv::Mat processedPhoto;  // empty unless Passed
    RuleDecision decision;   // the rule that refused the photo, or the pass
    std::optional<std::uintmax_t> fileLength;
    std::optional<BackgroundTrace> background;
    std::optional<CropTrace> crop;
    std::optional<int> clarity;          // a passed photo's, when its face is large enough
    std::optional<RuleDecision> advice;  // the clarity below the advised least one
};

// The rules after face detection, in order: file length, rows, columns,
// background, head proportion with crop; then, on a passed photo, the
// clarity of its face, which only ever gives advice. The file length is the one measured
// when the photo was read; without one the photo is BadFormat. The fills draw
// from rng.
RulesCheck CheckPhotoRules(const cv::Rect& face, const cv::Mat& photo,
                           std::optional<std::uintmax_t> fileLength, const Settings& settings,
                           cv::RNG& rng);

}  // namespace quorvel
