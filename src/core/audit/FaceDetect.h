#pragma once

#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/common/Result.h"

namespace quorvel {

// The cascade's file name, looked up in the working directory.
inline const std::filesystem::path kCascadeFileName = "haarcascade_frontalface_alt2.xml";

// Loads the face cascade; otherwise says why it failed ("cannot load the face
// cascade \"x.xml\": " and no such file, not a regular file, or not a cascade
// the detector reads; the parser throws on some damaged files and returns
// false on others).
Result<cv::CascadeClassifier> LoadFaceCascade(const std::filesystem::path& path);

// Runs the frontal-face detector on a colour photo (8-bit, blue-green-red):
// grey conversion, histogram equalisation, detectMultiScale with the rules'
// scale factor, neighbours and minimum size, CASCADE_SCALE_IMAGE. The
// rectangles come in the detector's order.
std::vector<cv::Rect> FindFaces(cv::CascadeClassifier& cascade, const cv::Mat& photo);

// The usable face of a detector result: the only one, or the wider of two
// (ties go to the second). None for no face or more than the rules allow.
std::optional<cv::Rect> ChooseFace(const std::vector<cv::Rect>& faces);

struct FaceSearch {
    std::vector<cv::Rect> faces;     // the detector's list, in its order
    std::optional<cv::Rect> chosen;  // ChooseFace of that list
};

// FindFaces then ChooseFace.
FaceSearch DetectFace(cv::CascadeClassifier& cascade, const cv::Mat& photo);

}  // namespace quorvel
