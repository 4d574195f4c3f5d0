// The walk of a file's structure: where JPEG, PNG and BMP data end, so that
// whatever stands between them and the pass marker is seen.
#include <gtest/gtest.h>
#include <zlib.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/io/ByteSource.h"
#include "core/io/ImageStructure.h"
#include "support/TestSupport.h"

using namespace quorvel;

namespace {

std::string Encoded(const char* ext, std::vector<int> params = {}) {
    std::vector<uchar> bytes;
    cv::imencode(ext, testsupport::SamplePhoto(), bytes, params);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(ImageStructure, WalksToTheFirstEndMarker) {
    const std::string jpeg = Encoded(".jpg", {cv::IMWRITE_JPEG_QUALITY, 50});
    const std::string png = Encoded(".png");
    const std::string bmp = Encoded(".bmp");
    struct Case {
        const char* description;
        std::string bytes;
        ImageFormat format;
        std::optional<std::uint64_t> end;
    };
    const std::vector<Case> cases = {
        {"a JPEG alone", jpeg, ImageFormat::Jpeg, jpeg.size()},
        {"a JPEG and then a second one", jpeg + jpeg, ImageFormat::Jpeg, jpeg.size()},
        {"a JPEG and text ending in FF D9", jpeg + "note\xFF\xD9", ImageFormat::Jpeg, jpeg.size()},
        {"a JPEG cut before its end", jpeg.substr(0, jpeg.size() - 2), ImageFormat::Jpeg,
         std::nullopt},
        {"a JPEG cut inside its header", jpeg.substr(0, 30), ImageFormat::Jpeg, std::nullopt},
        {"a PNG alone", png, ImageFormat::Png, png.size()},
        {"a PNG and trailing bytes", png + "xyz", ImageFormat::Png, png.size()},
        {"a PNG with a damaged chunk", png.substr(0, 40) + "!" + png.substr(41), ImageFormat::Png,
         std::nullopt},
        {"a BMP by its stated length", bmp + "abc", ImageFormat::Bmp, bmp.size()},
        {"no image at all", "plain text", ImageFormat::Other, std::nullopt},
        {"nothing", "", ImageFormat::Other, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const ImageStructure layout = WalkImage(c.bytes);
        EXPECT_EQ(layout.format, c.format);
        EXPECT_EQ(layout.end, c.end) << layout.problem;
        EXPECT_EQ(layout.problem.empty(), c.end.has_value() || c.format == ImageFormat::Other);
    }
    EXPECT_EQ(WalkImage(jpeg).quantisation.size(), 2u) << "luminance and chrominance tables";
}

namespace {

std::string Big32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// The PNG with a zTXt chunk before its end whose text inflates to `bytes`.
std::string WithText(const std::string& png, std::size_t bytes) {
    const std::string text(bytes, 'x');
    std::vector<uchar> packed(compressBound(static_cast<uLong>(bytes)));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(text.data()),
             static_cast<uLong>(bytes));
    const std::string data =
        std::string("Comment\0\0", 9) + std::string(packed.begin(), packed.begin() + packedSize);
    const std::string typed = "zTXt" + data;
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    return png.substr(0, png.size() - 12) + Big32(static_cast<std::uint32_t>(data.size())) + typed +
           Big32(static_cast<std::uint32_t>(crc)) + png.substr(png.size() - 12);
}

}  // namespace

// What decoding would cost, counted on what the encoders write: one read of
// each coefficient for a sequential JPEG, two to three for libjpeg's
// progressive script; a PNG's image data inflating to its rows exactly, its
// text chunks to what they hold.
TEST(ImageStructure, CountsTheWorkAsEncodersWriteIt) {
    const cv::Mat photo = testsupport::SamplePhoto();
    cv::Mat grey;
    cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
    std::vector<uchar> bytes;
    cv::imencode(".jpg", grey, bytes, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    const std::string greyProgressive(bytes.begin(), bytes.end());
    const std::string png = Encoded(".png");
    struct Case {
        const char* description;
        std::string bytes;
        std::uint64_t scans;
        double minReads, maxReads;
        std::uint64_t inflatedChunks;
    };
    const std::vector<Case> cases = {
        {"a sequential JPEG", Encoded(".jpg"), 1, 1.0, 1.1, 0},
        {"a progressive JPEG", Encoded(".jpg", {cv::IMWRITE_JPEG_PROGRESSIVE, 1}), 10, 2.0, 3.0, 0},
        {"a progressive grey JPEG", greyProgressive, 6, 2.9, 3.0, 0},
        {"a PNG", png, 0, 0, 0, 0},
        {"a PNG with 300 kB of compressed text", WithText(png, 300000), 0, 0, 0, 300000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const ImageStructure walk = WalkImage(c.bytes);
        EXPECT_TRUE(walk.end.has_value()) << walk.problem;
        EXPECT_EQ(walk.work.scans, c.scans);
        EXPECT_GE(walk.work.ReadsPerCoefficient(), c.minReads);
        EXPECT_LE(walk.work.ReadsPerCoefficient(), c.maxReads);
        EXPECT_EQ(walk.work.inflatedChunkBytes, c.inflatedChunks);
        EXPECT_EQ(walk.work.imageDataExcess, 0u);
        EXPECT_FALSE(CheckDecodingCost(walk.format, walk.work).has_value());
        if (walk.format == ImageFormat::Png) {
            ASSERT_TRUE(walk.imageData.has_value());
            EXPECT_EQ(walk.imageData->inflatedBytes, walk.imageData->rowBytes);
            EXPECT_TRUE(walk.imageData->streamEnded);
            EXPECT_EQ(walk.imageData->rowBytes, 301u * (1 + 215 * 3));
        }
    }
}

// Read from a file through its window, the walk finds what it finds in
// memory, for files many windows long.
TEST(ImageStructure, WalksAFileAsItWalksItsBytes) {
    cv::Mat noise(900, 700, CV_8UC3);
    cv::randu(noise, 0, 255);
    std::vector<uchar> bytes;
    cv::imencode(".jpg", noise, bytes, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    const std::string jpeg(bytes.begin(), bytes.end());
    cv::imencode(".png", noise, bytes);
    const std::string png(bytes.begin(), bytes.end());
    testsupport::TempDir dir;
    for (const std::string& content : {jpeg + "trailer", WithText(png, 200000)}) {
        testsupport::WriteBytes(dir / "photo", content);
        Result<RegularFile> file = RegularFile::Open(dir / "photo");
        ASSERT_TRUE(file);
        const Result<ImageStructure> fromFile = WalkImage(*file);
        ASSERT_TRUE(fromFile);
        const ImageStructure inMemory = WalkImage(content);
        ASSERT_GT(content.size(), 4 * ByteSource::kWindow);
        EXPECT_EQ(fromFile->end, inMemory.end);
        EXPECT_EQ(fromFile->problem, inMemory.problem);
        EXPECT_EQ(fromFile->segments.size(), inMemory.segments.size());
        EXPECT_EQ(fromFile->chunks.size(), inMemory.chunks.size());
        EXPECT_EQ(fromFile->work.scans, inMemory.work.scans);
        EXPECT_EQ(fromFile->work.coefficientReads, inMemory.work.coefficientReads);
        EXPECT_EQ(fromFile->work.inflatedChunkBytes, inMemory.work.inflatedChunkBytes);
        EXPECT_EQ(fromFile->quantisation, inMemory.quantisation);
    }
}
