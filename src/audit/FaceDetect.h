#pragma once

#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <string>
#include <vector>

// The cascade's file name, looked up in the working directory.
inline constexpr const char* kCascadeFileName = "haarcascade_frontalface_alt2.xml";

// Loads the face cascade. Returns an empty text on success, otherwise why it
// failed (missing, not a regular file, or not a cascade the detector reads;
// the parser throws on some damaged files and returns false on others).
std::string LoadFaceCascade(const std::string& path, cv::CascadeClassifier& cascade);

// Runs the frontal-face detector on a colour photo (8-bit, blue-green-red):
// grey conversion, histogram equalisation, detectMultiScale with scale 1.1,
// 4 neighbours, CASCADE_SCALE_IMAGE, minimum 60x60. The rectangles come in
// the detector's order.
std::vector<cv::Rect> FindFaces(cv::CascadeClassifier& cascade, const cv::Mat& photo);

// The usable face of a detector result: the only one, or the wider of two
// (ties go to the second). None for zero or three or more faces.
std::optional<cv::Rect> ChooseFace(const std::vector<cv::Rect>& faces);

// FindFaces then ChooseFace. When `faces` is given it receives the detector's list.
std::optional<cv::Rect> DetectFace(cv::CascadeClassifier& cascade, const cv::Mat& photo,
                                   std::vector<cv::Rect>* faces = nullptr);
