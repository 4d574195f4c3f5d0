#pragma once

#include <filesystem>
#include <vector>

#include "support/VariedSet.h"

namespace verifytest {

// Forgeries of the file itself, made from the genuine saves: a save checked
// with a colour setting its original's audit refuses; what a viewer shows
// that the pixels do not (an APNG frame, an EXIF orientation, alpha); a
// second picture in a JPEG APPn or COM segment, a PNG ancillary chunk, a
// BMP's stated length or a TIFF's second page; TIFF, PPM, WebP and JPEG 2000
// files; scans cut short with an end-of-image marker added, or corrupted;
// and a few hundred bytes whose header claims 20000 x 20000 pixels.
std::vector<Forgery> BuildFileForgeries(const std::filesystem::path& dir,
                                        const std::vector<SavedGenuine>& genuine);

}  // namespace verifytest
