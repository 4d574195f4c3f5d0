#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "core/io/ImageHeader.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::string Encoded(const std::string& extension, cv::Size size) {
    std::vector<uchar> bytes;
    cv::imencode(extension, cv::Mat(size, CV_8UC3, cv::Scalar(40, 120, 200)), bytes);
    return std::string(bytes.begin(), bytes.end());
}

// A JPEG of a few hundred bytes whose frame header claims width x height,
// behind an APP1 segment, as a crafted upload would be.
std::string ClaimingJpeg(int width, int height) {
    std::string bytes = "\xFF\xD8\xFF\xE1" + std::string(
                                                 "\x00\x08"
                                                 "Exif\0\0",
                                                 8);
    bytes += std::string("\xFF\xC0\x00\x11\x08", 5);
    bytes += {static_cast<char>(height >> 8), static_cast<char>(height & 255),
              static_cast<char>(width >> 8), static_cast<char>(width & 255)};
    return bytes + std::string(600, '\0');
}

}  // namespace

// The size comes from the header alone, the same from memory as from the
// file, for every format a photo comes in; a cut header is an error, not a
// size.
TEST(ImageHeader, ClaimedSizeIsReadBeforeDecoding) {
    const cv::Size size(37, 23);
    struct Row {
        const char* description;
        std::string bytes;
        bool readable;
        ImageFormat format;
        std::uint64_t width, height;
    };
    const std::string jpeg = Encoded(".jpg", size);
    const Row rows[] = {
        {"JPEG", jpeg, true, ImageFormat::Jpeg, 37, 23},
        {"PNG", Encoded(".png", size), true, ImageFormat::Png, 37, 23},
        {"BMP", Encoded(".bmp", size), true, ImageFormat::Bmp, 37, 23},
        {"WebP, lossy", Encoded(".webp", size), true, ImageFormat::WebP, 37, 23},
        {"TIFF", Encoded(".tiff", size), true, ImageFormat::Tiff, 37, 23},
        {"a crafted JPEG claiming 20000 x 20000", ClaimingJpeg(20000, 20000), true,
         ImageFormat::Jpeg, 20000, 20000},
        {"no known signature", "plain text, no image", true, ImageFormat::Other, 0, 0},
        {"a JPEG cut before its frame header", jpeg.substr(0, 10), false, ImageFormat::Other, 0, 0},
        {"a PNG cut inside its header", Encoded(".png", size).substr(0, 20), false,
         ImageFormat::Other, 0, 0},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        WriteBytes(dir.path() / "photo", row.bytes);
        Result<RegularFile> file = RegularFile::Open(dir.path() / "photo");
        ASSERT_TRUE(file);
        for (const Result<ImageHeader>& header :
             {ReadImageHeader(row.bytes), ReadImageHeader(*file)}) {
            ASSERT_EQ(header.ok(), row.readable);
            if (!row.readable) {
                EXPECT_EQ(header.error().kind, ErrorKind::BadContent);
                continue;
            }
            EXPECT_EQ(header->format, row.format);
            EXPECT_EQ(header->width, row.width);
            EXPECT_EQ(header->height, row.height);
        }
    }
}

// A header that claims more pixels than any camera makes is refused by its
// size, which the message gives; a real photo's header passes.
TEST(ImageHeader, PixelCapRefusesCraftedSizes) {
    Result<ImageHeader> bomb = ReadImageHeader(ClaimingJpeg(20000, 20000));
    ASSERT_TRUE(bomb);
    Result<void> refused = CheckPixelCap(*bomb);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, ErrorKind::TooLarge);
    EXPECT_NE(refused.error().message.find("20000 x 20000"), std::string::npos);

    Result<ImageHeader> camera = ReadImageHeader(ClaimingJpeg(16320, 12240));  // 200 megapixels
    ASSERT_TRUE(camera);
    EXPECT_TRUE(CheckPixelCap(*camera));
}
