#include "support/BadInputs.h"

#include <array>
#include <cstdint>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/audit/Verdict.h"
#include "support/TestSupport.h"

namespace badinputs {

namespace fs = std::filesystem;
using quorvel::Verdict;
using testsupport::DataPath;
using testsupport::LoadFixture;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string BigEndian32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
    return BigEndian32(static_cast<std::uint32_t>(data.size())) + type + data +
           BigEndian32(Crc32(type + data));
}

// A valid PNG header announcing a huge image, with no pixel data.
std::string HugePngHeader(std::uint32_t width, std::uint32_t height) {
    std::string ihdr =
        BigEndian32(width) + BigEndian32(height) + std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IEND", "");
}

// Inserts an EXIF block with the given orientation right after the JPEG's SOI.
std::string WithExifOrientation(const std::string& jpeg, std::uint16_t orientation) {
    std::string tiff("II*\0\x08\0\0\0", 8);              // little-endian header, IFD at 8
    tiff += std::string("\x01\0", 2);                    // one entry
    tiff += std::string("\x12\x01\x03\0\x01\0\0\0", 8);  // 0x0112 SHORT, count 1
    tiff += static_cast<char>(orientation & 0xFF);
    tiff += static_cast<char>(orientation >> 8);
    tiff += std::string("\0\0", 2);
    tiff += std::string("\0\0\0\0", 4);  // no next IFD
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    std::string app1 = std::string("\xFF\xE1", 2) + static_cast<char>(length >> 8) +
                       static_cast<char>(length & 0xFF) + payload;
    return jpeg.substr(0, 2) + app1 + jpeg.substr(2);
}

std::string Encode(const std::string& ext, const cv::Mat& image, std::vector<int> params = {}) {
    std::vector<uchar> bytes;
    cv::imencode(ext, image, bytes, params);
    return std::string(bytes.begin(), bytes.end());
}

fs::path Write(const fs::path& dir, const std::string& name, const std::string& bytes) {
    WriteBytes(dir / name, bytes);
    return dir / name;
}

const std::vector<Verdict> kAnyVerdict = {Verdict::Passed,        Verdict::BadBackground,
                                          Verdict::BadFormat,     Verdict::NoFace,
                                          Verdict::BadProportion, Verdict::TooSmall};

}  // namespace

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"empty file",
         [](const fs::path& d) { return Write(d, "empty.jpg", ""); },
         {Verdict::BadFormat}},
        {"text named .jpg",
         [](const fs::path& d) { return Write(d, "notes.jpg", std::string(40000, 't') + "\n"); },
         {Verdict::BadFormat}},
        {"pure garbage",
         [](const fs::path& d) {
             std::string bytes(50000, '\0');
             std::uint32_t x = 12345;
             for (char& c : bytes) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
             return Write(d, "garbage.jpg", bytes);
         },
         {Verdict::BadFormat}},
        {"JPEG cut in half",
         [](const fs::path& d) {
             const std::string jpeg = ReadBytes(DataPath("id_blue.jpg"));
             return Write(d, "half.jpg", jpeg.substr(0, jpeg.size() / 2));
         },
         kAnyVerdict},
        {"PNG header claiming 40000 x 30000 pixels",
         [](const fs::path& d) { return Write(d, "huge.png", HugePngHeader(40000, 30000)); },
         {Verdict::BadFormat}},
        {"grey-scale JPEG",
         [](const fs::path& d) {
             cv::Mat grey;
             cv::cvtColor(LoadFixture("id_white.jpg"), grey, cv::COLOR_BGR2GRAY);
             return Write(d, "grey.jpg", Encode(".jpg", grey, {cv::IMWRITE_JPEG_QUALITY, 95}));
         },
         {Verdict::Passed}},
        {"CMYK JPEG",
         [](const fs::path& d) {
             fs::copy_file(DataPath("id_blue_cmyk.jpg"), d / "cmyk.jpg");
             return d / "cmyk.jpg";
         },
         {Verdict::Passed}},
        {"16-bit PNG",
         [](const fs::path& d) {
             cv::Mat deep;
             LoadFixture("id_blue.jpg").convertTo(deep, CV_16UC3, 257.0);
             return Write(d, "deep.png", Encode(".png", deep));
         },
         {Verdict::Passed}},
        {"PNG with alpha",
         [](const fs::path& d) {
             cv::Mat rgba;
             cv::cvtColor(LoadFixture("id_blue.jpg"), rgba, cv::COLOR_BGR2BGRA);
             return Write(d, "alpha.png", Encode(".png", rgba));
         },
         {Verdict::Passed}},
        {"JPEG whose EXIF orientation turns it upright",
         [](const fs::path& d) {
             // Stored lying on its side; orientation 6 turns it 90 degrees clockwise.
             cv::Mat lying;
             cv::rotate(LoadFixture("id_blue.jpg"), lying, cv::ROTATE_90_COUNTERCLOCKWISE);
             const std::string jpeg = Encode(".jpg", lying, {cv::IMWRITE_JPEG_QUALITY, 95});
             return Write(d, "exif.jpg", WithExifOrientation(jpeg, 6));
         },
         {Verdict::Passed}},
        {"path with spaces, Chinese characters and %",
         [](const fs::path& d) {
             fs::create_directory(d / "证件 照片 100%");
             const fs::path target = d / "证件 照片 100%" / "报名 照片 %s%n.jpg";
             fs::copy_file(DataPath("id_blue.jpg"), target);
             return target;
         },
         {Verdict::Passed}},
        {"a directory given as the photo",
         [](const fs::path& d) {
             fs::create_directory(d / "folder.jpg");
             return d / "folder.jpg";
         },
         {Verdict::BadFormat}},
        {"a missing file",
         [](const fs::path& d) { return d / "missing.jpg"; },
         {Verdict::BadFormat}},
    };
    return cases;
}

}  // namespace badinputs
