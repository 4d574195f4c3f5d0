// The processed photo cut again from what a results line records of its
// crop is, pixel for pixel, the photo the audit processed: the pictures of
// a report made later from the results are those of the run itself.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "core/analysis/FrameCut.h"
#include "core/audit/Auditor.h"
#include "support/TestSupport.h"

using namespace quorvel;

TEST(FrameCut, GivesTheAuditsProcessedPhotoFromTheLinesFrameAndSize) {
    int passed = 0;
    for (const SizeMode mode : {SizeMode::Mode1, SizeMode::Mode2}) {
        Auditor auditor(testsupport::Cascade(), {BackgroundColor::Any, mode});
        for (const char* fixture : {"id_blue.jpg", "id_red.jpg", "id_white.jpg", "id_large.jpg",
                                    "id_soft.jpg", "portrait.jpg"}) {
            SCOPED_TRACE(std::string(fixture) + " in size mode " +
                         std::to_string(static_cast<int>(mode)));
            const Auditor::AuditedFile audited = auditor.AuditFile(testsupport::DataPath(fixture));
            const AuditReport& report = audited.report;
            if (report.verdict != Verdict::Passed) continue;
            ++passed;
            ASSERT_TRUE(report.marks.cropFrame);
            const cv::Mat cut =
                CutFrameAgain(audited.photo, *report.marks.cropFrame, report.processedPhoto.size());
            ASSERT_EQ(cut.size(), report.processedPhoto.size());
            EXPECT_EQ(cv::norm(cut, report.processedPhoto, cv::NORM_INF), 0);
        }
    }
    EXPECT_GE(passed, 6) << "enough passed photos to compare";
}

// Values that cannot be a crop of the photo (a line edited or of another
// photo) give no picture rather than a wrong one.
TEST(FrameCut, RefusesValuesThatAreNoCropOfThePhoto) {
    const cv::Mat photo(600, 480, CV_8UC3, cv::Scalar(200, 150, 90));
    const struct {
        const char* description;
        cv::Rect frame;
        cv::Size output;
        bool cut;
    } rows[] = {
        {"a frame inside, scaled down", {60, 40, 360, 504}, {295, 413}, true},
        {"a frame past the photo's edge", {200, 40, 360, 504}, {295, 413}, false},
        {"enlarged beyond the limit", {100, 100, 100, 140}, {295, 413}, false},
        {"far taller than the frame", {60, 40, 360, 504}, {295, 4000}, false},
        {"no width", {60, 40, 0, 504}, {295, 413}, false},
        {"no output", {60, 40, 360, 504}, {0, 0}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.description);
        const cv::Mat cut = CutFrameAgain(photo, row.frame, row.output);
        EXPECT_EQ(!cut.empty(), row.cut);
        if (row.cut) {
            EXPECT_EQ(cut.size(), row.output);
        }
    }
    EXPECT_TRUE(CutFrameAgain(cv::Mat(), {60, 40, 360, 504}, {295, 413}).empty());
}
