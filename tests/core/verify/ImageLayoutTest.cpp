// The walk of a saved file's structure: where JPEG, PNG and BMP data end, so
// that whatever stands between them and the pass marker is seen.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "core/verify/ImageLayout.h"
#include "support/TestSupport.h"

using namespace quorvel;

namespace {

std::string Encoded(const char* ext, std::vector<int> params = {}) {
    std::vector<uchar> bytes;
    cv::imencode(ext, testsupport::SamplePhoto(), bytes, params);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(ImageLayout, WalksToTheFirstEndMarker) {
    const std::string jpeg = Encoded(".jpg", {cv::IMWRITE_JPEG_QUALITY, 50});
    const std::string png = Encoded(".png");
    const std::string bmp = Encoded(".bmp");
    struct Case {
        const char* description;
        std::string bytes;
        ImageFormat format;
        std::optional<std::size_t> end;
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
        const ImageLayout layout = WalkImage(c.bytes);
        EXPECT_EQ(layout.format, c.format);
        EXPECT_EQ(layout.end, c.end) << layout.problem;
        EXPECT_EQ(layout.problem.empty(), c.end.has_value() || c.format == ImageFormat::Other);
    }
    EXPECT_EQ(WalkImage(jpeg).quantisation.size(), 2u) << "luminance and chrominance tables";
}
