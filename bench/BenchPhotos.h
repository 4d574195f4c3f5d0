#pragma once

#include <opencv2/core.hpp>
#include <string>

namespace benchphotos {

enum class Kind { Synthetic, Portrait };

// A photo of the given size: Synthetic is a plain blue background with a
// drawn head and shoulders (no detectable face); Portrait is the blue
// identity photo of the test fixtures scaled up with sensor-like grain,
// whose face is found.
cv::Mat Make(Kind kind, cv::Size size);

// The face rectangle to use for the analysis stages of that photo.
cv::Rect FaceOf(Kind kind, cv::Size size);

// Writes the photo as a quality-95 JPEG in the temporary folder once and
// returns its path.
std::string JpegFile(Kind kind, cv::Size size);

const char* Name(Kind kind);

}  // namespace benchphotos
