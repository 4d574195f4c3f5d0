// The configuration reader on arbitrary file contents.
#include <climits>
#include <cstdlib>

#include "FuzzSupport.h"
#include "app/Config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath(".ini");
    WriteScratch(path, data, size);
    QuorvelSettings settings = ReadSettings(path);
    if (!settings.Opened()) std::abort();  // the file was just written
    return 0;
}
