#pragma once

#include <cstdint>
#include <string_view>

#include "core/common/Result.h"
#include "core/io/RegularFile.h"

namespace quorvel {

// The image formats whose header is read before anything is decoded.
enum class ImageFormat { Other, Jpeg, Png, Bmp, WebP, Tiff };

// "JPEG", "PNG", "BMP", "WebP", "TIFF" or "image".
const char* ImageFormatName(ImageFormat format);

// The pixel size a file's header claims. The pixels themselves may never
// come: a crafted file can claim any size in a few bytes.
struct ImageHeader {
    ImageFormat format = ImageFormat::Other;  // Other: no known signature, 0 x 0
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    std::uint64_t pixels() const { return std::uint64_t{width} * height; }
};

// Reads the claimed size from bytes in memory, by the walk of their
// structure (WalkImage in core/io/ImageStructure.h, which a caller that needs
// more than the size uses instead). A format without a known signature gives
// Other (0 x 0); a known signature whose header is cut short or malformed
// gives BadContent.
Result<ImageHeader> ReadImageHeader(std::string_view bytes);

// The same from an open file, read through a window. NotReadable when the
// file cannot be read.
Result<ImageHeader> ReadImageHeader(const RegularFile& file);

// TooLarge when the header claims more pixels than any camera makes
// (rules::kMaxPhotoPixels); the message gives the claimed "W x H".
Result<void> CheckPixelCap(const ImageHeader& header);

}  // namespace quorvel
