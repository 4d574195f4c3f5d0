#include "core/audit/PhotoRules.h"

#include <sys/stat.h>

#include <new>
#include <opencv2/imgcodecs.hpp>

#include "core/rules/Rules.h"

namespace quorvel {

cv::Size MinimumPhotoSize(SizeMode sizeMode) {
    const rules::SizeModeParams& mode = sizeMode == SizeMode::Mode2 ? rules::kMode2 : rules::kMode1;
    return cv::Size(mode.minPhotoWidth, mode.minPhotoHeight);
}

cv::Mat DecodePhoto(const std::filesystem::path& photoFile) {
    // Only a regular file (or a link to one) is read: a FIFO nobody writes to,
    // a device or a socket would block the reader or never end. The type is
    // taken from stat, which does not open the file.
    struct stat status {};
    if (::stat(photoFile.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return {};
    try {
        return cv::imread(photoFile.string(), cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

namespace {

// The file's length, or nothing when it cannot be read (removed or replaced
// by something that is not a regular file since it was decoded).
std::optional<std::uintmax_t> FileLength(const std::filesystem::path& photoFile) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(photoFile, ec)) return std::nullopt;
    const std::uintmax_t length = std::filesystem::file_size(photoFile, ec);
    if (ec) return std::nullopt;
    return length;
}

}  // namespace

RulesCheck CheckPhotoRules(const cv::Rect& face, const cv::Mat& photo,
                           const std::filesystem::path& photoFile, const Settings& settings,
                           cv::RNG& rng) {
    RulesCheck check;
    auto reject = [&check](Verdict verdict) {
        check.verdict = verdict;
        return check;
    };
    const cv::Size minimum = MinimumPhotoSize(settings.size);

    check.fileLength = FileLength(photoFile);
    if (!check.fileLength) return reject(Verdict::BadFormat);  // the file can no longer be read
    if (*check.fileLength < rules::kMinFileLength) return reject(Verdict::TooSmall);

    if (photo.rows < minimum.height) return reject(Verdict::TooSmall);
    if (photo.cols < minimum.width) return reject(Verdict::TooSmall);

    BackgroundCheck background = CheckBackground(photo, settings.color, rng);
    check.background = std::move(background.trace);
    if (!background.accepted) return reject(Verdict::BadBackground);

    CropResult crop = FramePhoto(face, photo, settings.size, rng);
    check.crop = std::move(crop.trace);
    if (!crop.accepted()) return reject(Verdict::BadProportion);
    check.processedPhoto = std::move(crop.photo);
    return check;
}

}  // namespace quorvel
