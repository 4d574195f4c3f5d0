// Builds the noisy portrait set of docs/head-top.md: each source portrait's
// head and shoulders pasted on plain blue, white and red backdrops (480 x 640),
// saved as it is (PNG) and as copies with Gaussian grain of sigma 2, 4 and 8
// (JPEG quality 92). The grain comes from a cv::RNG with a fixed seed per
// copy, so the set is the same on every run.
//
//   make_set SOURCES OUTDIR
//
// SOURCES has one portrait a line: "path x y width height", the face the
// detector finds on the source. Also writes OUTDIR/sheet.png, the clean
// photos at a quarter of their size, to look the set over.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Backdrop {
    const char* name;
    cv::Scalar colour;  // blue, green, red
    int faceWidth;      // the pasted face's width ...
    int faceTop;        // ... and its top row in the photo
};

const Backdrop kBackdrops[] = {
    {"blue", {219, 142, 67}, 180, 230},
    {"white", {251, 251, 251}, 200, 260},
    {"red", {26, 16, 208}, 160, 210},
};
const double kSigmas[] = {2, 4, 8};
constexpr int kCopies = 3;  // grain copies per sigma
const cv::Size kPhoto(480, 640);

// Head and shoulders around `face`, scaled so the face is `b.faceWidth` wide,
// pasted with the face centred and its top at row `b.faceTop`.
cv::Mat Compose(const cv::Mat& source, const cv::Rect& face, const Backdrop& b) {
    const cv::Rect around(face.x - face.width * 11 / 20, face.y - face.height / 2,
                          face.width * 21 / 10, face.height * 3);
    const cv::Rect crop = around & cv::Rect(0, 0, source.cols, source.rows);
    const double scale = static_cast<double>(b.faceWidth) / face.width;
    cv::Mat scaled;
    cv::resize(source(crop), scaled, cv::Size(), scale, scale, cv::INTER_AREA);
    const int x = kPhoto.width / 2 - static_cast<int>((face.x - crop.x + face.width / 2.0) * scale);
    const int y = b.faceTop - static_cast<int>((face.y - crop.y) * scale);
    cv::Mat photo(kPhoto, CV_8UC3, b.colour);
    const cv::Rect place = cv::Rect(x, y, scaled.cols, scaled.rows) & cv::Rect(cv::Point(), kPhoto);
    scaled(place - cv::Point(x, y)).copyTo(photo(place));
    return photo;
}

cv::Mat WithGrain(const cv::Mat& photo, double sigma, std::uint64_t seed) {
    cv::RNG rng(seed);
    cv::Mat grain(photo.size(), CV_32FC3);
    rng.fill(grain, cv::RNG::NORMAL, 0, sigma);
    cv::Mat noisy;
    photo.convertTo(noisy, CV_32FC3);
    noisy += grain;
    noisy.convertTo(noisy, CV_8UC3);  // rounded and saturated
    return noisy;
}

std::string BaseName(const std::string& path) {
    const std::string file = path.substr(path.find_last_of('/') + 1);
    return file.substr(0, file.find_last_of('.'));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_set SOURCES OUTDIR\n";
        return 2;
    }
    std::ifstream sources(argv[1]);
    const std::string out = argv[2];
    std::vector<cv::Mat> thumbs;
    std::string line;
    int index = 0, written = 0;
    while (std::getline(sources, line)) {
        std::istringstream fields(line);
        std::string path;
        cv::Rect face;
        if (!(fields >> path >> face.x >> face.y >> face.width >> face.height)) continue;
        const cv::Mat source = cv::imread(path, cv::IMREAD_COLOR);
        if (source.empty()) {
            std::cerr << "cannot read " << path << "\n";
            return 1;
        }
        ++index;
        for (const Backdrop& b : kBackdrops) {
            const cv::Mat clean = Compose(source, face, b);
            const std::string stem = out + "/" + BaseName(path) + "_" + b.name;
            cv::imwrite(stem + "_clean.png", clean);
            cv::Mat thumb;
            cv::resize(clean, thumb, kPhoto / 4, 0, 0, cv::INTER_AREA);
            thumbs.push_back(thumb);
            for (std::size_t s = 0; s < std::size(kSigmas); ++s) {
                for (int copy = 0; copy < kCopies; ++copy) {
                    const std::uint64_t seed = 1000003ULL * index + 1009ULL * (&b - kBackdrops) +
                                               31ULL * s + static_cast<std::uint64_t>(copy) + 1;
                    const std::string name = stem + "_s" + std::to_string(int(kSigmas[s])) +
                                             static_cast<char>('a' + copy) + ".jpg";
                    cv::imwrite(name, WithGrain(clean, kSigmas[s], seed),
                                {cv::IMWRITE_JPEG_QUALITY, 92});
                    ++written;
                }
            }
        }
    }
    // Contact sheet: three portraits (nine photos) a row.
    constexpr std::size_t kPerRow = 9;
    std::vector<cv::Mat> rows;
    for (std::size_t i = 0; i < thumbs.size(); i += kPerRow) {
        std::vector<cv::Mat> cells(
            thumbs.begin() + static_cast<std::ptrdiff_t>(i),
            thumbs.begin() + static_cast<std::ptrdiff_t>(std::min(i + kPerRow, thumbs.size())));
        cells.resize(kPerRow, cv::Mat(kPhoto / 4, CV_8UC3, cv::Scalar::all(0)));
        cv::Mat row;
        cv::hconcat(cells, row);
        rows.push_back(row);
    }
    if (!rows.empty()) {
        cv::Mat sheet;
        cv::vconcat(rows, sheet);
        cv::imwrite(out + "/sheet.png", sheet);
    }
    std::printf("%d portraits, %zu clean photos, %d noisy copies\n", index, thumbs.size(), written);
    return 0;
}
