// How a photo file becomes the photo audited: as the image library's own
// file reader decodes it, damaged or not.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "core/audit/Auditor.h"
#include "core/audit/PhotoRules.h"
#include "core/explain/Explanation.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::DataPath;
using testsupport::TempDir;

namespace {

std::string Encoded(const cv::Mat& photo, const std::string& extension,
                    const std::vector<int>& parameters = {}) {
    std::vector<uchar> bytes;
    EXPECT_TRUE(cv::imencode(extension, photo, bytes, parameters));
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(Decode, TruncatedPhotoDecodesAsTheLibrarysFileReaderReadsIt) {
    const std::string baseline = testsupport::ReadBytes(DataPath("id_blue.jpg"));
    const cv::Mat photo = testsupport::LoadFixture("id_blue.jpg");
    const std::string progressive =
        Encoded(photo, ".jpg", {cv::IMWRITE_JPEG_PROGRESSIVE, 1, cv::IMWRITE_JPEG_QUALITY, 90});
    const std::string png = Encoded(photo, ".png");
    struct Row {
        const char* description;
        std::string bytes;
        bool greyBottom;  // the missing rows are the reader's grey
    };
    const Row rows[] = {
        {"baseline JPEG cut at a third", baseline.substr(0, baseline.size() / 3), true},
        {"baseline JPEG cut near its end", baseline.substr(0, baseline.size() - 900), true},
        {"progressive JPEG cut in half", progressive.substr(0, progressive.size() / 2), false},
        {"PNG cut in half", png.substr(0, png.size() / 2), false},
        {"whole baseline JPEG", baseline, false},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const auto path = dir / "photo";
        testsupport::WriteBytes(path, row.bytes);
        const cv::Mat byLibrary = cv::imread(path.string(), cv::IMREAD_COLOR);
        const DecodedPhoto decoded = DecodePhoto(path);
        ASSERT_EQ(decoded.image.size(), byLibrary.size());
        if (byLibrary.empty()) continue;
        EXPECT_EQ(cv::norm(decoded.image, byLibrary, cv::NORM_INF), 0);
        EXPECT_EQ(decoded.fileLength, row.bytes.size());
        if (row.greyBottom) {
            EXPECT_EQ(decoded.image.at<cv::Vec3b>(decoded.image.rows - 1, 0),
                      cv::Vec3b(128, 128, 128));
        }
    }
}

namespace {

void PutBigEndian16(std::string& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<char>(value >> 8);
    bytes[at + 1] = static_cast<char>(value & 0xFF);
}

void PutBigEndian32(std::string& bytes, std::size_t at, std::uint32_t value) {
    PutBigEndian16(bytes, at, value >> 16);
    PutBigEndian16(bytes, at + 2, value & 0xFFFF);
}

void PutLittleEndian32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A JPEG whose frame header claims width x height.
std::string JpegClaiming(std::uint32_t width, std::uint32_t height) {
    std::string bytes = testsupport::ReadBytes(DataPath("id_blue.jpg"));
    const std::size_t frame = bytes.find("\xFF\xC0");
    EXPECT_NE(frame, std::string::npos);
    PutBigEndian16(bytes, frame + 5, height);
    PutBigEndian16(bytes, frame + 7, width);
    return bytes;
}

}  // namespace

TEST(Decode, HeaderClaimingMorePixelsThanTheCapIsRefusedUndecoded) {
    const cv::Mat photo = testsupport::LoadFixture("id_blue.jpg");
    std::string png = Encoded(photo, ".png");
    PutBigEndian32(png, 16, 40000);  // IHDR width
    PutBigEndian32(png, 20, 40000);  // IHDR height
    std::string bmp = Encoded(photo, ".bmp");
    PutLittleEndian32(bmp, 18, 30000);
    PutLittleEndian32(bmp, 22, 30000);
    struct Row {
        const char* description;
        std::string bytes;
        std::uint32_t width;
        std::uint32_t height;
    };
    const Row rows[] = {
        {"JPEG claiming 20000 x 20000", JpegClaiming(20000, 20000), 20000, 20000},
        {"JPEG claiming 65535 x 4600", JpegClaiming(65535, 4600), 65535, 4600},
        {"JPEG claiming 20000 x 20000 behind a stray byte the decoder skips",
         [] {
             std::string bytes = JpegClaiming(20000, 20000);
             return bytes.insert(bytes.find("\xFF\xC0"), 1, '\x00');
         }(),
         20000, 20000},
        {"PNG claiming 40000 x 40000", png, 40000, 40000},
        {"BMP claiming 30000 x 30000", bmp, 30000, 30000},
    };
    TempDir dir;
    Auditor auditor(testsupport::Cascade(), {BackgroundColor::Any, SizeMode::Mode1});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const auto path = dir / "crafted";
        testsupport::WriteBytes(path, row.bytes);
        const AuditReport report = auditor.Audit(path, Trace::On);
        EXPECT_EQ(report.verdict, Verdict::BadFormat);
        const Explanation reason = ExplainAudit(report);
        EXPECT_EQ(reason.rule, rule_id::kPixelCap);
        const std::string claimed =
            std::to_string(row.width) + " × " + std::to_string(row.height) + " pixels";
        EXPECT_NE(reason.textEn.find(claimed), std::string::npos) << reason.textEn;
        ASSERT_TRUE(reason.measured.has_value());
        EXPECT_EQ(reason.measured->Number("width"), row.width);
    }
    // A photo whose header tells the truth is audited as ever.
    EXPECT_EQ(auditor.Audit(DataPath("id_blue.jpg")).verdict, Verdict::Passed);
}
