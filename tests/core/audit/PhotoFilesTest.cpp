// Photos as cameras, phones and editors write them pass the walk of their
// structure and its caps untouched: progressive JPEGs of libjpeg's script
// (cjpeg, ImageMagick), interlaced PNGs with an ICC profile and text, JPEGs
// with APPn segments and bytes after their end (previews, gain maps, motion
// video). tests/data/README.md gives the recipes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <opencv2/imgcodecs.hpp>

#include "core/audit/Auditor.h"
#include "core/io/ImageStructure.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

const char* const kConvert = "/usr/bin/convert";               // ImageMagick (imagemagick)
const char* const kCjpeg = "/usr/bin/cjpeg";                   // libjpeg-turbo-progs
const char* const kProfile = "/usr/share/color/icc/sRGB.icc";  // icc-profiles-free

void Run(const std::string& command) {
    ASSERT_EQ(std::system((command + " 2>/dev/null").c_str()), 0) << command;
}

// The variants of one source photo as the tools that touch photos write them.
std::vector<fs::path> Variants(const fs::path& source, const fs::path& dir) {
    const std::string stem = dir / source.stem().string();
    const std::string in = source.string();
    cv::imwrite(stem + ".ppm", cv::imread(in, cv::IMREAD_COLOR));
    Run(std::string(kCjpeg) + " -progressive -quality 90 -outfile " + stem + "-cjpeg.jpg " + stem +
        ".ppm");
    Run(std::string(kConvert) + " " + in + " -interlace Plane -quality 92 " + stem + "-magick.jpg");
    // A comment of 128 characters or more goes into a zTXt chunk; Adam7 rows.
    std::string comment;
    for (int i = 0; i < 8; ++i) comment += "retouched and exported for the registration; ";
    Run(std::string(kConvert) + " " + in + " -profile " + kProfile + " -set comment '" + comment +
        "' -interlace PNG " + stem + "-profile.png");
    Run(std::string(kConvert) + " " + in + " -profile " + kProfile +
        " -set comment 'phone export' -quality 88 " + stem + "-trailer.jpg");
    // Bytes after the end of image: a preview and the start of a motion clip.
    std::vector<uchar> preview;
    cv::imencode(".jpg", cv::Mat(120, 90, CV_8UC3, cv::Scalar(90, 120, 150)), preview);
    std::string trailer = testsupport::ReadBytes(stem + "-trailer.jpg");
    trailer += std::string(preview.begin(), preview.end());
    trailer += std::string(
                   "\0\0\0\x18"
                   "ftypmp42",
                   12) +
               std::string(65536, '\x5A');
    testsupport::WriteBytes(stem + "-trailer.jpg", trailer);
    return {source, stem + "-cjpeg.jpg", stem + "-magick.jpg", stem + "-profile.png",
            stem + "-trailer.jpg"};
}

}  // namespace

// Each is audited exactly as the image library's own decoding of it is: the
// same verdict, face and processed pixels.
TEST(PhotoFiles, WhatCamerasPhonesAndEditorsWriteIsAuditedAsDecoded) {
    for (const char* tool : {kConvert, kCjpeg, kProfile}) {
        ASSERT_TRUE(fs::exists(tool)) << tool << " is missing: run scripts/setup.sh";
    }
    const fs::path doc = "/usr/share/doc/opencv-doc/opencv4/html";
    const std::vector<fs::path> sources = {
        testsupport::DataPath("id_blue.jpg"), testsupport::DataPath("portrait.jpg"),
        doc / "230501201_1.jpg", doc / "227943776_1.jpg", doc / "example.jpg"};
    TempDir dir;
    Auditor auditor(testsupport::Cascade(), {BackgroundColor::Any, SizeMode::Mode1});
    int passed = 0;
    bool profiles = false;
    for (const fs::path& source : sources) {
        ASSERT_TRUE(fs::exists(source)) << source << " (opencv-doc)";
        for (const fs::path& file : Variants(source, dir.path())) {
            SCOPED_TRACE(file.filename().string());
            const ImageStructure walk = WalkImage(testsupport::ReadBytes(file));
            profiles = profiles || walk.work.inflatedChunkBytes > 0;
            auditor.RestartGenerator();
            const AuditReport audited = auditor.Audit(file, Trace::On);
            DecodedPhoto decoded;
            decoded.image = cv::imread(file.string(), cv::IMREAD_COLOR);
            decoded.fileLength = fs::file_size(file);
            auditor.RestartGenerator();
            const AuditReport oracle = auditor.AuditDecoded(decoded, Trace::On);
            ASSERT_FALSE(decoded.image.empty());
            EXPECT_EQ(audited.verdict, oracle.verdict);
            EXPECT_EQ(audited.face, oracle.face);
            ASSERT_EQ(audited.processedPhoto.size(), oracle.processedPhoto.size());
            if (!oracle.processedPhoto.empty()) {
                EXPECT_EQ(cv::norm(audited.processedPhoto, oracle.processedPhoto, cv::NORM_INF), 0);
            }
            passed += audited.verdict == Verdict::Passed;
        }
    }
    EXPECT_TRUE(profiles) << "ImageMagick wrote no compressed profile or text";
    EXPECT_GE(passed, 4) << "the set holds passes, not only refusals";
}
