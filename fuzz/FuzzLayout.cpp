// The walk of JPEG segments and PNG chunks on arbitrary bytes: it never
// reads past them, and an end it reports lies inside them. The comparison
// with what the save's encoder writes and libjpeg's reading of a JPEG take
// the same bytes.
#include <cstdlib>
#include <string_view>

#include "FuzzSupport.h"
#include "core/io/ImageHeader.h"
#include "core/verify/ImageLayout.h"
#include "core/verify/JpegScan.h"
#include "core/verify/SaveStructure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const quorvel::ImageLayout layout = quorvel::WalkImage(bytes);
    if (layout.end && (*layout.end > size || !layout.problem.empty())) std::abort();
    if (!layout.end && layout.format != quorvel::ImageFormat::Other && layout.problem.empty()) {
        std::abort();
    }
    if (layout.format != quorvel::ImageFormat::Jpeg && !layout.quantisation.empty()) std::abort();
    if (layout.format != quorvel::ImageFormat::Other) {
        quorvel::SaveStructureProblem(bytes, layout.format, 295, 413);
    }
    // As in the verifier, only a header claiming a save's size is read further.
    const auto header = quorvel::ReadImageHeader(bytes);
    if (layout.format == quorvel::ImageFormat::Jpeg && header && header->width <= 413 &&
        header->height <= 620) {
        quorvel::JpegDataProblem(bytes);
    }
    return 0;
}
