#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "core/io/ImageStructure.h"

namespace quorvel {

// The most bytes a save's PNG rows take (the widest output of any size mode,
// three 8-bit channels and a filter byte a row): the verifier's walk keeps
// rows up to this size, so that a PNG's image data is inflated once.
std::uint64_t LargestSavedPngRows();

// The walk the verifier makes of the data before the pass marker: a PNG's
// rows kept when a save could have them.
ImageStructure WalkForVerification(std::string_view image);

// The pixels of a PNG or BMP save, and whether its bytes are exactly what
// the save's encoder writes for them.
struct SavedPixels {
    cv::Mat photo;  // blue-green-red, as the image library decodes it; empty when unreadable
    // The data cannot be read (PNG image data broken, cut short, inflating
    // beyond its rows or followed by more compressed bytes): why, in English.
    std::optional<std::string> damage;
    // It reads, but the save's encoder writes other bytes for its pixels:
    // where they first differ, in English.
    std::optional<std::string> difference;
};

// Reads the pixels of PNG or BMP data that the structure checks found laid
// out as a save of `size` (a PNG's from the rows its walk kept, inflated
// once; a BMP's with the image library), then encodes them again exactly as
// a save does (EncodeForSave) and compares every byte. `walk` is the walk of
// `data`; a PNG walk without kept rows is made again with them. Nothing
// reaches stderr.
SavedPixels ReadSavedPixels(std::string_view data, const ImageStructure& walk, cv::Size size);

}  // namespace quorvel
