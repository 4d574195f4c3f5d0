#include <gtest/gtest.h>

#include "core/audit/FaceDetect.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::Cascade;
using testsupport::LoadFixture;

TEST(FaceDetect, RealPhotos) {
    struct Row {
        const char* file;
        bool found;
        std::size_t detected;
    };
    const Row rows[] = {
        {"portrait.jpg", true, 1},    {"id_blue.jpg", true, 1}, {"no_face.jpg", false, 0},
        {"small_face.jpg", false, 0}, {"group.jpg", false, 3},
    };
    ASSERT_FALSE(Cascade().empty());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const FaceSearch search = DetectFace(Cascade(), LoadFixture(row.file));
        EXPECT_EQ(search.chosen.has_value(), row.found);
        EXPECT_EQ(search.faces.size(), row.detected);
        for (const cv::Rect& r : search.faces) {
            EXPECT_GE(r.width, 60);
            EXPECT_GE(r.height, 60);
        }
    }
}

TEST(FaceDetect, FoundFaceLiesOnTheFaceOfThePortrait) {
    std::optional<cv::Rect> face = DetectFace(Cascade(), LoadFixture("portrait.jpg")).chosen;
    ASSERT_TRUE(face.has_value());
    // The face of portrait.jpg is centred at about (150, 200).
    EXPECT_NEAR(face->x + face->width / 2, 150, 20);
    EXPECT_NEAR(face->y + face->height / 2, 200, 20);
}

TEST(FaceDetect, ChoiceAmongDetections) {
    const cv::Rect a(10, 10, 80, 90), b(200, 20, 100, 60), c(50, 50, 80, 200);
    struct Row {
        const char* description;
        std::vector<cv::Rect> faces;
        std::optional<cv::Rect> expected;
    };
    const Row rows[] = {
        {"none", {}, std::nullopt},
        {"one", {a}, a},
        {"wider second", {a, b}, b},
        {"wider first", {b, a}, b},
        {"equal widths take the second", {a, c}, c},
        {"equal widths, other order", {c, a}, a},
        {"three faces", {a, b, c}, std::nullopt},
        {"four faces", {a, b, c, a}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        EXPECT_EQ(ChooseFace(row.faces), row.expected);
    }
}
