#pragma once

#include <cstdint>
#include <optional>

#include "core/io/ImageHeader.h"

namespace quorvel {

// What decoding a file would ask of its decoder, counted by the walk of its
// structure before anything is decoded.
struct DecodingWork {
    std::uint64_t scans = 0;  // JPEG scans up to the end of image
    // JPEG: each scan's blocks times the coefficients it covers in each
    // block (1 for a DC scan, 64 for a sequential one), summed; and the
    // frame's blocks times 64, so that a sequential file reads 1 time over.
    std::uint64_t coefficientReads = 0;
    std::uint64_t frameCoefficients = 0;
    // PNG: what the compressed ancillary chunks (zTXt, iTXt, iCCP) inflate
    // to, and what the image data inflates to beyond the header's rows.
    std::uint64_t inflatedChunkBytes = 0;
    std::uint64_t imageDataExcess = 0;

    // coefficientReads / frameCoefficients; 0 without a frame.
    double ReadsPerCoefficient() const;
};

// The cap a file's structure goes beyond (rules::kMaxJpegScans, ...).
struct CostExcess {
    enum class Kind { Scans, CoefficientReads, InflatedChunks, ImageDataExcess };
    Kind kind = Kind::Scans;
    ImageFormat format = ImageFormat::Other;
    double measured = 0;  // scans, reads per coefficient, or bytes
    double limit = 0;
};

// The first cap the work goes beyond, in the order of Kind; none when it
// stays within every cap.
std::optional<CostExcess> CheckDecodingCost(ImageFormat format, const DecodingWork& work);

}  // namespace quorvel
