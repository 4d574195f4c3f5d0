#include "core/audit/PhotoRules.h"

#include <cerrno>
#include <new>
#include <opencv2/imgcodecs.hpp>

#include "core/analysis/Clarity.h"
#include "core/io/ImageHeader.h"
#include "core/io/ImageStructure.h"
#include "core/io/RegularFile.h"
#include "core/rules/Rules.h"

namespace quorvel {

cv::Size MinimumPhotoSize(SizeMode sizeMode) {
    const rules::SizeModeParams& mode = sizeMode == SizeMode::Mode2 ? rules::kMode2 : rules::kMode1;
    return cv::Size(mode.minPhotoWidth, mode.minPhotoHeight);
}

namespace {

Error OutOfMemory(const std::filesystem::path& photoFile) {
    return Fail(ErrorKind::OutOfMemory, "the audit failed: out of memory", ENOMEM, photoFile);
}

// The size the decoder will take: the header's, or where the header cannot
// be read, the first JPEG frame a decoder finds past the damage.
std::optional<ImageHeader> DecodedSize(const ImageStructure& walk) {
    if (walk.header) return walk.header;
    if (walk.frame) return ImageHeader{ImageFormat::Jpeg, walk.frame->width, walk.frame->height};
    return std::nullopt;
}

}  // namespace

DecodedPhoto DecodePhoto(const std::filesystem::path& photoFile, LibraryMessages* messages) {
    Result<RegularFile> file = RegularFile::Open(photoFile);
    if (!file) {
        DecodedPhoto decoded;
        decoded.failure = file.error();
        return decoded;
    }
    return DecodePhoto(*file, nullptr, messages);
}

DecodedPhoto DecodePhoto(const RegularFile& file, const ImageStructure* walked,
                         LibraryMessages* messages) {
    DecodedPhoto decoded;
    decoded.stamp = StampOf(file.status());
    if (file.length() > kMaxPhotoFileBytes) return decoded;  // not a usable photo
    decoded.fileLength = file.length();
    if (file.length() == 0) return decoded;
    // One walk of the structure before anything is decoded: a header that
    // claims more pixels than any camera makes, or a structure that asks the
    // decoder for more work than any camera, phone or editor writes, is
    // refused. A header that cannot be read is left to the decoder, as any
    // other damage; the size the decoder would take is capped all the same.
    std::optional<Result<ImageStructure>> own;
    if (walked == nullptr) own.emplace(WalkImage(file));
    const ImageStructure* walk = walked != nullptr ? walked : (*own ? &own->value() : nullptr);
    if (walk != nullptr) {
        if (const std::optional<ImageHeader> size = DecodedSize(*walk);
            size && !CheckPixelCap(*size)) {
            decoded.refusedSize = ClaimedSize{size->width, size->height};
            return decoded;
        }
        if (std::optional<CostExcess> excess = CheckDecodingCost(walk->format, walk->work)) {
            decoded.refusedCost = excess;
            return decoded;
        }
    }
    const auto decode = [&decoded, &file] {
        try {
            // The library's file reader, on the very file that was opened and
            // checked: a name of the descriptor, never the path again.
            decoded.image = cv::imread(file.DescriptorPath(), cv::IMREAD_COLOR);
        } catch (const cv::Exception& e) {
            decoded.image.release();
            if (e.code == cv::Error::StsNoMem) decoded.failure = OutOfMemory(file.path());
        } catch (const std::bad_alloc&) {
            decoded.image.release();
            decoded.failure = OutOfMemory(file.path());
        }
    };
    if (messages != nullptr) {
        decoded.warnings = messages->During(decode);
    } else {
        decode();
    }
    return decoded;
}

RulesCheck CheckPhotoRules(const cv::Rect& face, const cv::Mat& photo,
                           std::optional<std::uintmax_t> fileLength, const Settings& settings,
                           cv::RNG& rng) {
    RulesCheck check;
    auto reject = [&check](Verdict verdict, RuleDecision decision) {
        check.verdict = verdict;
        check.decision = std::move(decision);
        return check;
    };
    const cv::Size minimum = MinimumPhotoSize(settings.size);

    check.fileLength = fileLength;
    // The file could not be read.
    if (!check.fileLength) return reject(Verdict::BadFormat, DecideUnreadable());
    if (*check.fileLength < rules::kMinFileLength) {
        return reject(Verdict::TooSmall, DecideFileLength(*check.fileLength));
    }

    if (photo.rows < minimum.height || photo.cols < minimum.width) {
        return reject(Verdict::TooSmall, DecidePhotoSize(photo.size(), settings.size));
    }

    BackgroundCheck background = CheckBackground(photo, settings.color, rng);
    check.background = std::move(background.trace);
    if (!background.accepted) return reject(Verdict::BadBackground, std::move(background.decision));

    CropResult crop = FramePhoto(face, photo, settings.size, rng);
    check.crop = std::move(crop.trace);
    if (!crop.accepted()) return reject(Verdict::BadProportion, std::move(crop.decision));
    check.processedPhoto = std::move(crop.photo);
    check.decision = DecidePassed(check.processedPhoto.size(), settings.size);

    check.clarity = MeasureClarity(photo, face);
    if (check.clarity && *check.clarity < rules::kMinClarityTenths) {
        check.advice = DecideClarity(*check.clarity / 10.0, rules::kMinClarityTenths / 10.0);
    }
    return check;
}

}  // namespace quorvel
