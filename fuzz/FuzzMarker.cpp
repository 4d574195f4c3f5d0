// The pass-marker check on arbitrary bytes, in memory and on disk.
#include <cstdlib>

#include "FuzzSupport.h"
#include "core/save/SavePhoto.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string& path = ScratchPath(".bin");
    WriteScratch(path, data, size);
    if (quorvel::EndsWithPassMarker(bytes) != quorvel::HasPassMarker(path)) std::abort();
    return 0;
}
