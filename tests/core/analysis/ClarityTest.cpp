// The clarity advice on real audits: a blurred face is advised against at
// any size and tone, a sharp one never, a small one is not measured; the
// verdict is the same either way.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/audit/Auditor.h"
#include "core/rules/Rules.h"
#include "support/TestSupport.h"

using namespace quorvel;

TEST(Clarity, BlurredFacesAreAdvisedAgainstAtAnySizeSharpOnesNever) {
    const struct {
        const char* description;
        const char* fixture;
        double scale;
        double contrast;
        std::optional<int> clarity;  // tenths; nothing: not measured
        bool advised;
    } rows[] = {
        // Exact figures: integer arithmetic gives them on every machine.
        {"sharp face of 397 pixels", "id_large.jpg", 1.0, 1.0, 497, false},
        {"the same face blurred", "id_soft.jpg", 1.0, 1.0, 155, true},
        {"sharp, smaller (face of 318)", "id_large.jpg", 0.8, 1.0, std::nullopt, false},
        {"sharp, less contrast", "id_large.jpg", 1.0, 0.6, std::nullopt, false},
        {"blurred, enlarged", "id_soft.jpg", 1.4, 1.0, std::nullopt, true},
        {"blurred, less contrast", "id_soft.jpg", 1.0, 0.6, std::nullopt, true},
        {"a face under the measured side", "id_blue.jpg", 1.0, 1.0, std::nullopt, false},
    };
    testsupport::TempDir dir;
    Auditor auditor(testsupport::Cascade(), {BackgroundColor::Any, SizeMode::Mode1});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.description);
        cv::Mat photo = testsupport::LoadFixture(row.fixture);
        cv::resize(photo, photo, {}, row.scale, row.scale,
                   row.scale < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
        photo.convertTo(photo, -1, row.contrast, 128 * (1 - row.contrast));
        const auto path = dir / "photo.png";
        ASSERT_TRUE(cv::imwrite(path.string(), photo));
        const AuditReport report = auditor.Audit(path, Trace::On);
        EXPECT_EQ(report.verdict, Verdict::Passed) << "advice never changes the verdict";
        EXPECT_EQ(report.advice.has_value(), row.advised);
        const std::optional<int> clarity = report.trace->clarity;
        EXPECT_EQ(clarity.has_value(), row.fixture != std::string("id_blue.jpg"));
        if (row.clarity) {
            EXPECT_EQ(clarity, row.clarity);
        }
        if (clarity) {
            EXPECT_EQ(*clarity < rules::kMinClarityTenths, row.advised) << *clarity;
        }
        if (report.advice) {
            EXPECT_EQ(report.advice->rule, rule_id::kClarity);
            EXPECT_EQ(report.advice->measured->Number("value"), *clarity / 10.0);
        }
    }
}
