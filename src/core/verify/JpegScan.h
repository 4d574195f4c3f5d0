#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/io/ImageStructure.h"

namespace quorvel {

// Reads a JPEG's every coefficient with libjpeg, from memory (`walk` is the
// walk of those bytes, which tells where its scan starts), and returns
// the first warning or error libjpeg gives (premature end, corrupt data,
// extraneous bytes before a marker, ...) in its own words; none when the
// data is clean. Data that reads without a warning but whose scan is not
// what the encoder writes for the coefficients read, or whose blocks give
// pixels far outside 0..255 (changed bytes that happen to decode), is corrupt
// too. Writes nothing to stderr.
std::optional<std::string> JpegDataProblem(std::string_view jpeg, const ImageStructure& walk);

}  // namespace quorvel
