// The walk of a file's structure on arbitrary bytes: it never reads past
// them, an end it reports lies inside them, and what it lists lies inside
// them too. The comparison with what the save's encoder writes and libjpeg's
// reading of a JPEG take the same bytes and the same walk.
#include <cstdlib>
#include <string_view>

#include "FuzzSupport.h"
#include "core/io/ImageHeader.h"
#include "core/io/ImageStructure.h"
#include "core/verify/JpegScan.h"
#include "core/verify/SaveStructure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const quorvel::ImageStructure layout = quorvel::WalkImage(bytes);
    if (layout.end && (*layout.end > size || !layout.problem.empty())) std::abort();
    if (!layout.end &&
        (layout.format == quorvel::ImageFormat::Jpeg ||
         layout.format == quorvel::ImageFormat::Png) &&
        layout.problem.empty()) {
        std::abort();
    }
    if (layout.format != quorvel::ImageFormat::Jpeg && !layout.quantisation.empty()) std::abort();
    for (const quorvel::JpegSegment& segment : layout.segments) {
        if (segment.end > size || segment.offset >= segment.end) std::abort();
    }
    for (const quorvel::JpegScan& scan : layout.scans) {
        if (scan.dataStart > scan.dataEnd || scan.dataEnd > size) std::abort();
    }
    for (const quorvel::PngChunk& chunk : layout.chunks) {
        if (chunk.end() > size) std::abort();
    }
    if (layout.work.scans < layout.scans.size()) std::abort();
    quorvel::CheckDecodingCost(layout.format, layout.work);
    if (layout.format == quorvel::ImageFormat::Jpeg || layout.format == quorvel::ImageFormat::Png ||
        layout.format == quorvel::ImageFormat::Bmp) {
        quorvel::SaveStructureProblem(bytes, layout, 295, 413);
    }
    // As in the verifier, only a header claiming a save's size is read further.
    const auto header = layout.Header();
    if (layout.format == quorvel::ImageFormat::Jpeg && header && header->width <= 413 &&
        header->height <= 620) {
        quorvel::JpegDataProblem(bytes, layout);
    }
    return 0;
}
