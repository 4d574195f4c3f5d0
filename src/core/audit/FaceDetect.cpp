#include "core/audit/FaceDetect.h"

#include <cctype>
#include <filesystem>
#include <opencv2/imgproc.hpp>

#include "core/common/ErrorText.h"
#include "core/io/RegularFile.h"
#include "core/rules/Rules.h"

namespace quorvel {

Result<cv::CascadeClassifier> LoadFaceCascade(const std::filesystem::path& path) {
    const std::string cannotLoad = "cannot load the face cascade " + Quoted(path) + ": ";
    Result<RegularFile> file = RegularFile::Open(path);
    if (!file) {
        Error error = file.error();
        if (error.kind == ErrorKind::IsFolder) error.kind = ErrorKind::NotAFile;
        error.message =
            cannotLoad + (error.kind == ErrorKind::NotAFile ? "not a regular file" : error.message);
        return error;
    }
    const std::string unreadable = cannotLoad + "not a cascade the detector can read";
    cv::CascadeClassifier cascade;
    try {
        if (cascade.load(file->DescriptorPath()) && !cascade.empty()) return cascade;
    } catch (const cv::Exception& e) {
        std::string reason = e.what();
        while (!reason.empty() && std::isspace(static_cast<unsigned char>(reason.back()))) {
            reason.pop_back();
        }
        return Fail(ErrorKind::BadContent, unreadable + " (" + reason + ")", 0, path);
    }
    return Fail(ErrorKind::BadContent, unreadable, 0, path);
}

std::vector<cv::Rect> FindFaces(cv::CascadeClassifier& cascade, const cv::Mat& photo) {
    cv::Mat grey;
    cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY, 0);
    cv::equalizeHist(grey, grey);
    std::vector<cv::Rect> faces;
    cascade.detectMultiScale(grey, faces, rules::kDetectScaleFactor, rules::kDetectMinNeighbours,
                             cv::CASCADE_SCALE_IMAGE,
                             cv::Size(rules::kDetectMinFaceSide, rules::kDetectMinFaceSide),
                             cv::Size(0, 0));
    return faces;
}

std::optional<cv::Rect> ChooseFace(const std::vector<cv::Rect>& faces) {
    if (faces.empty() || faces.size() > rules::kMaxFaces) return std::nullopt;
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
