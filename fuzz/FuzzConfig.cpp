// The configuration reader on arbitrary file contents.
#include <climits>
#include <cstdlib>

#include "FuzzSupport.h"
#include "core/config/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath(".ini");
    WriteScratch(path, data, size);
    const quorvel::Result<quorvel::SettingsFile> file = quorvel::ReadSettings(path);
    if (!file.ok()) std::abort();  // the file was just written
    return 0;
}
