#include "support/GenuineSet.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/analysis/HeadCrop.h"
#include "core/audit/Auditor.h"
#include "core/save/SavePhoto.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace quorvel;

namespace verifytest {

namespace {

struct Source {
    std::string name;
    cv::Mat photo;
};

std::vector<Source> Sources() {
    std::vector<Source> sources;
    for (const char* name : {"id_blue.jpg", "id_red.jpg", "id_white.jpg", "id_blue_cmyk.jpg",
                             "portrait.jpg", "group.jpg", "no_face.jpg", "small_face.jpg"}) {
        sources.push_back({name, cv::imread(testsupport::DataPath(name).string())});
    }
    const fs::path doc = "/usr/share/doc/opencv-doc/opencv4/html";
    for (const char* name : {"230501201_1.jpg", "227943776_1.jpg", "example.jpg"}) {
        if (fs::exists(doc / name)) sources.push_back({name, cv::imread((doc / name).string())});
    }
    // The identity-photo fixtures under other backgrounds and positions.
    std::vector<Source> variants;
    for (const Source& s : sources) {
        if (s.photo.empty()) continue;
        variants.push_back(s);
        if (s.name.rfind("id_", 0) != 0) continue;
        const cv::Mat& p = s.photo;
        cv::Mat v;
        cv::resize(p, v, {}, 0.85, 0.85, cv::INTER_AREA);
        variants.push_back({s.name + " at 85 %", v});
        cv::resize(p, v, {}, 1.2, 1.2, cv::INTER_CUBIC);
        variants.push_back({s.name + " at 120 %", v});
        variants.push_back(
            {s.name + " without 60 left columns", p(cv::Rect(60, 0, p.cols - 60, p.rows)).clone()});
        variants.push_back(
            {s.name + " without 60 right columns", p(cv::Rect(0, 0, p.cols - 60, p.rows)).clone()});
        variants.push_back(
            {s.name + " without 150 top rows", p(cv::Rect(0, 150, p.cols, p.rows - 150)).clone()});
        variants.push_back(
            {s.name + " without 200 top rows", p(cv::Rect(0, 200, p.cols, p.rows - 200)).clone()});
        variants.push_back(
            {s.name + " without 100 bottom rows", p(cv::Rect(0, 0, p.cols, p.rows - 100)).clone()});
        cv::flip(p, v, 1);
        variants.push_back({s.name + " mirrored", v});
        cv::copyMakeBorder(p, v, 0, 0, 80, 80, cv::BORDER_REPLICATE);
        variants.push_back({s.name + " widened by 160 columns", v});
    }
    return variants;
}

void Save(const cv::Mat& photo, const fs::path& path) {
    if (!testsupport::Save(photo, path.string()).ok) throw std::runtime_error(path.string());
}

// A photo brought to a size a passed audit produces, without any crop.
cv::Mat ToValidSize(const cv::Mat& photo, const SizeModeParams& mode, int width) {
    cv::Mat out;
    cv::resize(photo, out, cv::Size(width, static_cast<int>(width * mode.aspect)), 0, 0,
               cv::INTER_AREA);
    return out;
}

}  // namespace

void BuildSets(const fs::path& dir, std::vector<SetFile>& genuine, std::vector<SetFile>& forged) {
    cv::RNG rng(12345);
    int counter = 0;
    auto name = [&](const char* ext) {
        return dir / ("f" + std::to_string(counter++) + "." + ext);
    };
    auto forge = [&](const std::string& what, const cv::Mat& photo, const GenuineSettings& s) {
        const fs::path path = name(counter % 2 == 0 ? "jpg" : "png");
        Save(photo, path);
        forged.push_back({what, path, s});
    };

    for (const Source& source : Sources()) {
        const fs::path input = name("jpg");
        cv::imwrite(input.string(), source.photo, {cv::IMWRITE_JPEG_QUALITY, 95});
        for (int size : {1, 2}) {
            const SizeModeParams mode = *SizeModeParamsFor(static_cast<SizeMode>(size));
            const GenuineSettings any{3, size};
            const std::string label = source.name + ", size " + std::to_string(size);
            Auditor auditor(testsupport::Cascade(), GenuineSettings{3, size});
            const AuditReport result = auditor.Audit(input, Trace::On);
            const cv::Mat& processed = result.processedPhoto;
            if (result.verdict != Verdict::Passed) {
                forge(label + " (not passed) resized",
                      ToValidSize(source.photo, mode, mode.narrowWidth), any);
                continue;
            }
            for (const char* ext : {"jpg", "png"}) {
                const fs::path path = name(ext);
                Save(processed, path);
                genuine.push_back({label + " as " + ext, path, any});
                genuine.push_back(
                    {label + " as " + ext + ", exact colour", path,
                     GenuineSettings{static_cast<int>(*result.trace->background->backgroundClass),
                                     size}});
            }
            // Never passed: the whole photo scaled, random crops, a face
            // painted over, the content shifted, a photo of the other size.
            forge(label + " whole photo resized", ToValidSize(source.photo, mode, mode.wideWidth),
                  any);
            for (int i = 0; i < 3; ++i) {
                const int w = rng.uniform(source.photo.cols / 3, source.photo.cols);
                const int h = std::min(source.photo.rows, static_cast<int>(w * mode.aspect));
                const int x = rng.uniform(0, source.photo.cols - w + 1);
                const int y = rng.uniform(0, source.photo.rows - h + 1);
                const int out = rng.uniform(mode.narrowWidth, mode.wideWidth + 1);
                forge(label + " random crop " + std::to_string(i),
                      ToValidSize(source.photo(cv::Rect(x, y, w, h)), mode, out), any);
            }
            cv::Mat painted = processed.clone();
            const cv::Vec3b bg = processed.at<cv::Vec3b>(3, 3);
            const int fw = processed.cols / 2;
            cv::rectangle(painted, cv::Rect(fw / 2, processed.rows / 4, fw, fw),
                          cv::Scalar(bg[0], bg[1], bg[2]), cv::FILLED);
            forge(label + " face painted over", painted, any);
            for (double shift : {0.2, -0.25}) {
                cv::Mat moved;
                const cv::Mat m = (cv::Mat_<double>(2, 3) << 1, 0, shift * processed.cols, 0, 1, 0);
                cv::warpAffine(processed, moved, m, processed.size(), cv::INTER_LINEAR,
                               cv::BORDER_REPLICATE);
                forge(label + " shifted sideways", moved, any);
            }
            {
                cv::Mat down;
                const cv::Mat m = (cv::Mat_<double>(2, 3) << 1, 0, 0, 0, 1, 0.3 * processed.rows);
                cv::warpAffine(processed, down, m, processed.size(), cv::INTER_LINEAR,
                               cv::BORDER_REPLICATE);
                forge(label + " moved down", down, any);
            }
            const SizeModeParams other = *SizeModeParamsFor(static_cast<SizeMode>(3 - size));
            forge(label + " saved at the other mode's size",
                  ToValidSize(processed, other, other.wideWidth), any);
            // Image data with bytes after it, then the marker.
            {
                const fs::path path = name("jpg");
                Save(processed, path);
                std::string bytes = testsupport::ReadBytes(path);
                bytes.insert(bytes.size() - kPassMarkerLength, "trailing data");
                testsupport::WriteBytes(path, bytes);
                forged.push_back({label + " data after the image", path, any});
            }
        }
    }
}

}  // namespace verifytest
