#include "core/audit/FaceDetect.h"

#include <cctype>
#include <filesystem>
#include <opencv2/imgproc.hpp>

namespace quorvel {

std::variant<cv::CascadeClassifier, std::string> LoadFaceCascade(
    const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return std::string("no such file");
    if (!std::filesystem::is_regular_file(path, ec)) return std::string("not a regular file");
    cv::CascadeClassifier cascade;
    try {
        if (cascade.load(path.string()) && !cascade.empty()) return cascade;
    } catch (const cv::Exception& e) {
        std::string reason = e.what();
        while (!reason.empty() && std::isspace(static_cast<unsigned char>(reason.back()))) {
            reason.pop_back();
        }
        return std::string("not a cascade the detector can read (") + reason + ")";
    }
    return std::string("not a cascade the detector can read");
}

std::vector<cv::Rect> FindFaces(cv::CascadeClassifier& cascade, const cv::Mat& photo) {
    cv::Mat grey;
    cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY, 0);
    cv::equalizeHist(grey, grey);
    std::vector<cv::Rect> faces;
    cascade.detectMultiScale(grey, faces, 1.1, 4, cv::CASCADE_SCALE_IMAGE, cv::Size(60, 60),
                             cv::Size(0, 0));
    return faces;
}

std::optional<cv::Rect> ChooseFace(const std::vector<cv::Rect>& faces) {
    if (faces.empty() || faces.size() >= 3) return std::nullopt;
    // Keep the last rectangle at least as wide as the widest seen so far.
    std::size_t chosen = 0;
    int widest = 0;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        if (faces[i].width >= widest) {
            widest = faces[i].width;
            chosen = i;
        }
    }
    return faces[chosen];
}

FaceSearch DetectFace(cv::CascadeClassifier& cascade, const cv::Mat& photo) {
    FaceSearch search;
    search.faces = FindFaces(cascade, photo);
    search.chosen = ChooseFace(search.faces);
    return search;
}

}  // namespace quorvel
