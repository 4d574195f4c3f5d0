// The walk of JPEG segments and PNG chunks on arbitrary bytes: it never
// reads past them, and an end it reports lies inside them.
#include <cstdlib>
#include <string_view>

#include "FuzzSupport.h"
#include "core/verify/ImageLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const quorvel::ImageLayout layout = quorvel::WalkImage(bytes);
    if (layout.end && (*layout.end > size || !layout.problem.empty())) std::abort();
    if (!layout.end && layout.format != quorvel::ImageFormat::Other && layout.problem.empty()) {
        std::abort();
    }
    if (layout.format != quorvel::ImageFormat::Jpeg && !layout.quantisation.empty()) std::abort();
    return 0;
}
