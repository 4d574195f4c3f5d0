#pragma once

#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/config/Settings.h"

namespace quorvel {

// Whether a file is what a passed audit saves: complete image data followed
// by the pass marker, at a size the size mode produces, with one face
// centred and sized as the crop places it, on a plain background of a colour
// the colour setting allows.

struct GenuineCheck {
    bool marker = false;                // the file ends with the pass marker
    bool genuine = false;               // every condition holds
    std::vector<std::string> problems;  // one plain-English entry per failed condition

    std::string format;  // "jpeg", "png" or "bmp" when recognised
    cv::Size size;       // decoded photo, 0 x 0 when it does not decode
    std::vector<cv::Rect> faces;
    std::optional<cv::Rect> face;                    // the one measured (the wider of two)
    double faceWidthShare = 0;                       // face width / photo width
    double centreOffset = 0;                         // (face centre - photo centre) / face width
    double faceTopShare = 0;                         // face top row / photo width
    std::optional<BackgroundColor> backgroundClass;  // none when not plain or no allowed class
    double backgroundCoverage = 0;  // share of the photo filled from the two top corners
};

// Checks the bytes of a file.
GenuineCheck CheckGenuinePhoto(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                               const Settings& settings);

// Reads the file and checks it; a file that cannot be read gets that as its
// only problem.
GenuineCheck CheckGenuinePhotoFile(const std::filesystem::path& path,
                                   cv::CascadeClassifier& cascade, const Settings& settings);

}  // namespace quorvel
