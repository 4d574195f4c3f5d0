#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/verify/GenuinePhoto.h"

namespace verifytest {

// The "color" and "size" settings as cfg.ini numbers, for the tables.
struct GenuineSettings {
    int color = 3;
    int size = 1;
    operator quorvel::Settings() const {
        return {static_cast<quorvel::BackgroundColor>(color), static_cast<quorvel::SizeMode>(size)};
    }
};

// A file written for the measurement and the settings to check it with.
struct SetFile {
    std::string description;
    std::filesystem::path path;
    GenuineSettings settings;
};

// Every photo a passed audit saves, as JPEG and PNG, for the fixtures of
// tests/data, shifted, cropped, rescaled and mirrored variants of them, and
// the portraits of Debian's opencv-doc when installed; both size modes.
// `forged` receives photos that never passed, with the pass marker appended.
void BuildSets(const std::filesystem::path& dir, std::vector<SetFile>& genuine,
               std::vector<SetFile>& forged);

}  // namespace verifytest
