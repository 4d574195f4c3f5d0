#pragma once

#include <cstdint>
#include <filesystem>
#include <opencv2/core.hpp>
#include <optional>

#include "core/audit/AuditReport.h"
#include "core/config/Settings.h"
#include "core/rules/Rules.h"

namespace quorvel {

using rules::kMinFileLength;

// Smallest accepted photo for a size mode, width x height (both inclusive);
// that of mode 1 for any other setting.
cv::Size MinimumPhotoSize(SizeMode sizeMode);

// Decodes a photo in colour (8-bit, blue-green-red). Any failure, including
// the decoder throwing on an oversized or damaged file, gives an empty image;
// so does a path that is not a regular file, which is never opened.
cv::Mat DecodePhoto(const std::filesystem::path& photoFile);

// The verdict of the rules after face detection, with what they measured.
struct RulesCheck {
    Verdict verdict = Verdict::Passed;
    cv::Mat processedPhoto;  // empty unless Passed
    std::optional<std::uintmax_t> fileLength;
    std::optional<BackgroundTrace> background;
    std::optional<CropTrace> crop;
};

// The rules after face detection, in order: file length, rows, columns,
// background, head proportion with crop. The fills draw from rng.
RulesCheck CheckPhotoRules(const cv::Rect& face, const cv::Mat& photo,
                           const std::filesystem::path& photoFile, const Settings& settings,
                           cv::RNG& rng);

}  // namespace quorvel
