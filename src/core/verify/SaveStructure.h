#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/io/ImageStructure.h"

namespace quorvel {

// Whether the image data before the pass marker is exactly what the save's
// own encoder writes for a photo of `width` x `height` pixels:
// - JPEG: the quality-50 encoder's segments byte for byte (start of image,
//   APP0 JFIF, quantisation tables, baseline frame, Huffman tables, start of
//   scan), one scan without markers, then end of image as the last bytes;
// - PNG: the encoder's IHDR (colour type and depth), IDAT chunks, IEND;
// - BMP: the encoder's header, its stated length, zero row padding.
// `walk` is the walk of `image`, whose format it gives. None when it is;
// else the first difference, in English.
std::optional<std::string> SaveStructureProblem(std::string_view image, const ImageStructure& walk,
                                                std::uint32_t width, std::uint32_t height);

// Where a JPEG's entropy-coded data starts, by the walk of its `length`
// bytes: just past its first start-of-scan segment; the length when there is
// none.
std::uint64_t JpegScanStart(const ImageStructure& walk, std::uint64_t length);

// A name for data of a format the save never writes, by its signature
// ("TIFF", "WebP", "PPM", "JPEG 2000", ...), or none when it is unknown.
std::optional<std::string> ForeignFormatName(std::string_view bytes);

}  // namespace quorvel
