#include "BenchPhotos.h"

#include <filesystem>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <tuple>

namespace benchphotos {

namespace {

// The fixture's face, found at (134, 304) 185 x 185 in its 480 x 640 pixels.
const cv::Rect kFixtureFace(134, 304, 185, 185);
const cv::Size kFixtureSize(480, 640);

}  // namespace

const char* Name(Kind kind) { return kind == Kind::Synthetic ? "synthetic" : "portrait"; }

cv::Rect FaceOf(Kind /*kind*/, cv::Size size) {
    const double sx = static_cast<double>(size.width) / kFixtureSize.width;
    const double sy = static_cast<double>(size.height) / kFixtureSize.height;
    return cv::Rect(static_cast<int>(kFixtureFace.x * sx), static_cast<int>(kFixtureFace.y * sy),
                    static_cast<int>(kFixtureFace.width * sx),
                    static_cast<int>(kFixtureFace.height * sy));
}

cv::Mat Make(Kind kind, cv::Size size) {
    if (kind == Kind::Portrait) {
        cv::Mat fixture = cv::imread(std::string(QUORVEL_BENCH_DATA_DIR) + "/id_blue.jpg");
        cv::Mat scaled;
        cv::resize(fixture, scaled, size, 0, 0, cv::INTER_CUBIC);
        // Sensor-like grain, so the detector works as hard as on a camera photo.
        cv::Mat grain(size, CV_16SC3);
        cv::RNG rng(4000);
        rng.fill(grain, cv::RNG::NORMAL, 0, 6);
        cv::Mat noisy;
        scaled.convertTo(noisy, CV_16SC3);
        noisy += grain;
        noisy.convertTo(scaled, CV_8UC3);
        return scaled;
    }
    cv::Mat photo(size, CV_8UC3, cv::Scalar(219, 142, 67));
    const cv::Rect face = FaceOf(kind, size);
    const cv::Point centre(face.x + face.width / 2, face.y + face.height / 2);
    cv::ellipse(photo, centre, {face.width / 2, face.height * 2 / 3}, 0, 0, 360,
                cv::Scalar(120, 160, 210), cv::FILLED);
    cv::rectangle(photo, {face.x - face.width / 2, face.y + face.height * 3 / 2},
                  {face.x + face.width * 3 / 2, size.height}, cv::Scalar(40, 40, 40), cv::FILLED);
    return photo;
}

std::string JpegFile(Kind kind, cv::Size size) {
    static std::map<std::tuple<int, int, int>, std::string> files;
    auto key = std::make_tuple(static_cast<int>(kind), size.width, size.height);
    auto found = files.find(key);
    if (found != files.end()) return found->second;
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("quorvel-bench-v2-" + std::string(Name(kind)) + "-" + std::to_string(size.width) + "x" +
          std::to_string(size.height) + ".jpg"))
            .string();
    if (!std::filesystem::exists(path))
        cv::imwrite(path, Make(kind, size), {cv::IMWRITE_JPEG_QUALITY, 95});
    files[key] = path;
    return path;
}

}  // namespace benchphotos
