// How a photo file becomes the photo audited: as the image library's own
// file reader decodes it, damaged or not.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "core/audit/PhotoRules.h"
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
