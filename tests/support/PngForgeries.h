#pragma once

#include <filesystem>
#include <vector>

#include "support/VariedSet.h"

namespace verifytest {

// Forgeries of a PNG save's file, made from the genuine PNG saves (one per
// original and size mode), all with the pass marker:
// - the save's pixels written by other encoders: Debian's Pillow
//   (/usr/bin/python3 with python3-pil: its default, optimised and level-1
//   writes) and ImageMagick (/usr/bin/mogrify -strip);
// - payloads inside the image data, every CRC right: a ZIP that unzip lists
//   (its comment covering the file's tail) and a JPEG of another person,
//   each after the end of the image data's compressed stream in its last
//   IDAT chunk; an HTML page and a second compressed stream holding another
//   photo's rows, each in an IDAT chunk of its own after it; and another
//   photo's rows after the save's inside its one compressed stream.
std::vector<Forgery> BuildPngForgeries(const std::filesystem::path& dir,
                                       const std::vector<SavedGenuine>& genuine);

// Pictures of a plain-backdrop save whose face is drawn smaller, centred and
// as high as the crop would put it, at 60, 70 and 80 % of the least face
// share the verifier accepts in the size mode; saved through the save's own
// encoder with the marker (one per original and size mode).
std::vector<Forgery> BuildSmallFaceForgeries(const std::filesystem::path& dir,
                                             const std::vector<SavedGenuine>& genuine);

}  // namespace verifytest
