#include "core/io/ImageHeader.h"

#include <string>

#include "core/io/ImageStructure.h"
#include "core/rules/Rules.h"

namespace quorvel {

const char* ImageFormatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::Jpeg:
            return "JPEG";
        case ImageFormat::Png:
            return "PNG";
        case ImageFormat::Bmp:
            return "BMP";
        case ImageFormat::WebP:
            return "WebP";
        case ImageFormat::Tiff:
            return "TIFF";
        case ImageFormat::Other:
            break;
    }
    return "image";
}

Result<ImageHeader> ReadImageHeader(std::string_view bytes) { return WalkImage(bytes).Header(); }

Result<ImageHeader> ReadImageHeader(const RegularFile& file) {
    Result<ImageStructure> walk = WalkImage(file);
    if (!walk) return walk.error();
    return walk->Header();
}

Result<void> CheckPixelCap(const ImageHeader& header) {
    if (header.pixels() <= rules::kMaxPhotoPixels) return {};
    return Fail(ErrorKind::TooLarge, std::string(ImageFormatName(header.format)) + " claims " +
                                         std::to_string(header.width) + " x " +
                                         std::to_string(header.height) + " pixels, more than the " +
                                         std::to_string(rules::kMaxPhotoPixels) + " read");
}

}  // namespace quorvel
