// The walk of a saved file's structure: where JPEG and PNG data end, what
// stands between them and the pass marker, and the JPEG's quantisation tables.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "core/save/SavePhoto.h"
#include "core/verify/GenuinePhoto.h"
#include "core/verify/ImageLayout.h"
#include "support/TestSupport.h"
#include "verify/GenuineSet.h"

using namespace quorvel;

namespace {

std::string Encoded(const char* ext, std::vector<int> params = {}) {
    std::vector<uchar> bytes;
    cv::imencode(ext, testsupport::SamplePhoto(), bytes, params);
    return std::string(bytes.begin(), bytes.end());
}

std::string Marker() {
    const auto marker = MakePassMarker();
    return std::string(marker.begin(), marker.end());
}

// The rule ids of the failed checks.
std::vector<std::string> FailedRules(const GenuineCheck& check) {
    std::vector<std::string> rules;
    for (const VerifyCheck& c : check.checks) {
        if (!c.passed) rules.push_back(c.explanation.rule);
    }
    return rules;
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

TEST(ImageLayout, FilesNotWrittenAsTheToolWritesThemAreRefused) {
    const std::string q50 = Encoded(".jpg", {cv::IMWRITE_JPEG_QUALITY, 50});
    struct Case {
        const char* description;
        std::string bytes;
        std::vector<std::string> failed;  // in order; the sample photo has no face
    };
    const std::vector<Case> cases = {
        {"a quality-50 JPEG and the marker", q50 + Marker(), {}},
        {"a PNG and the marker", Encoded(".png") + Marker(), {}},
        {"a quality-95 JPEG",
         Encoded(".jpg", {cv::IMWRITE_JPEG_QUALITY, 95}) + Marker(),
         {"verify.quantisation"}},
        {"a second JPEG before the marker", q50 + q50 + Marker(), {"verify.layout"}},
        {"bytes ending in FF D9 before the marker",
         q50 + "x\xFF\xD9" + Marker(),
         {"verify.layout"}},
        {"a cut JPEG with the marker", q50.substr(0, q50.size() / 2) + Marker(), {"verify.layout"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const GenuineCheck check =
            CheckGenuinePhoto(c.bytes, testsupport::Cascade(), verifytest::GenuineSettings{3, 1});
        std::vector<std::string> failed = FailedRules(check);
        failed.erase(std::remove_if(failed.begin(), failed.end(),
                                    [](const std::string& rule) {
                                        return rule.rfind("verify.face", 0) == 0 ||
                                               rule.rfind("verify.background", 0) == 0;
                                    }),
                     failed.end());
        EXPECT_EQ(failed, c.failed);
        ASSERT_EQ(check.problems.size(), FailedRules(check).size());
        for (const std::string& problem : check.problems) {
            EXPECT_EQ(problem.rfind("verify.", 0), 0u)
                << "each problem names its rule: " << problem;
        }
    }
}
