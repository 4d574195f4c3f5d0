#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/audit/Auditor.h"
#include "core/explain/Explanation.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::DataPath;

// What the explanation of a real audit says: the rule that decided, the
// measured value against its limit, and the sentences in both languages.
TEST(Explanation, EachOutcomeNamesItsRuleValueAndLimit) {
    struct Row {
        const char* description;
        const char* photo;
        BackgroundColor color;
        const char* rule;
        const char* textEn;
        const char* measuredName;  // a number of `measured`, nullptr when none is expected
        double measured;
        const char* limitName;
        double limit;
    };
    const Row rows[] = {
        {"a pass gives the output size", "id_blue.jpg", BackgroundColor::Any, "passed",
         "passed; output 295 × 413 pixels", "width", 295, "max_width", 295},
        {"no face", "no_face.jpg", BackgroundColor::Any, "face.none", "no face found", "value", 0,
         "min", 1},
        {"three faces", "group.jpg", BackgroundColor::Any, "face.count",
         "3 faces found, 1 or 2 allowed", "value", 3, "max", 2},
        {"a short file", "portrait.jpg", BackgroundColor::Any, "file.length",
         "file 26.0 KB, at least 30 KB", "value", 26617, "min", 30720},
        {"a colour the setting refuses", "id_red.jpg", BackgroundColor::Blue, "background.setting",
         "background is red; only blue is accepted", nullptr, 0, "setting", 2},
        {"a missing file", "missing.jpg", BackgroundColor::Any, "file.unreadable",
         "the file cannot be read or is not an image", nullptr, 0, nullptr, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const Settings settings{row.color, SizeMode::Mode1};
        Auditor auditor(testsupport::Cascade(), settings);
        const AuditReport report = auditor.Audit(DataPath(row.photo), Trace::On);
        const Explanation e = ExplainAudit(report);
        EXPECT_EQ(e.rule, row.rule);
        EXPECT_EQ(e.textEn, row.textEn);
        EXPECT_FALSE(e.text.empty());
        EXPECT_FALSE(e.advice.empty());
        EXPECT_FALSE(e.adviceEn.empty());
        if (row.measuredName != nullptr) {
            ASSERT_TRUE(e.measured);
            EXPECT_EQ(e.measured->Number(row.measuredName), row.measured);
        }
        if (row.limitName != nullptr) {
            ASSERT_TRUE(e.limit);
            EXPECT_EQ(e.limit->Number(row.limitName), row.limit);
        } else {
            EXPECT_FALSE(e.limit);
        }
    }
}

namespace {

// The blue fixture changed so that one rule refuses it.
cv::Mat Variant(const std::string& kind) {
    cv::Mat photo = testsupport::LoadFixture("id_blue.jpg");
    const cv::Vec3b wall = photo.at<cv::Vec3b>(5, 5);
    if (kind == "dark band") cv::rectangle(photo, {0, 20}, {479, 23}, cv::Scalar(64, 48, 32), -1);
    if (kind == "grey wall") {
        cv::floodFill(photo, {5, 5}, cv::Scalar(128, 128, 128), nullptr, cv::Scalar::all(30),
                      cv::Scalar::all(30));
    }
    if (kind == "head painted over") cv::rectangle(photo, {0, 0}, {479, 320}, cv::Scalar(wall), -1);
    if (kind == "wide canvas") {
        cv::copyMakeBorder(photo, photo, 0, 0, 0, 920, cv::BORDER_CONSTANT, cv::Scalar(wall));
    }
    if (kind == "chin at the bottom") photo = photo(cv::Rect(0, 0, 480, 520)).clone();
    if (kind == "right part") photo = photo(cv::Rect(150, 0, 330, 640)).clone();
    if (kind == "lower part") photo = photo(cv::Rect(0, 220, 480, 420)).clone();
    return photo;
}

}  // namespace

// Each rule that refuses a photo says so in the audit's report, with the
// value it measured against its limit; the window, the JSON lines and the
// report show its sentences.
TEST(Explanation, EachRuleDecidesWithWhatItMeasured) {
    const struct {
        const char* variant;
        Settings settings;
        Verdict verdict;
        const char* rule;
        const char* says;  // in the English sentence
    } rows[] = {
        {"dark band",
         {},
         Verdict::BadBackground,
         rule_id::kBackgroundCoverage,
         "blue background covers 3.1%"},
        {"grey wall", {}, Verdict::BadBackground, rule_id::kBackgroundColour, "not red, blue"},
        {"as it is",
         {static_cast<BackgroundColor>(7), SizeMode::Mode1},
         Verdict::BadBackground,
         rule_id::kBackgroundSetting,
         "colour setting 7 accepts none"},
        {"as it is",
         {BackgroundColor::Any, static_cast<SizeMode>(3)},
         Verdict::BadProportion,
         rule_id::kSizeSetting,
         "size setting 3"},
        {"wide canvas", {}, Verdict::BadProportion, rule_id::kFaceShare, "of the photo, 20%–80%"},
        {"head painted over", {}, Verdict::BadProportion, rule_id::kHeadTop, "head top not found"},
        {"chin at the bottom",
         {BackgroundColor::Any, SizeMode::Mode2},
         Verdict::BadProportion,
         rule_id::kCropFrame,
         "bottom edge"},
        {"right part", {}, Verdict::BadProportion, rule_id::kCropFrame, "past the sides"},
        {"lower part",
         {BackgroundColor::Any, SizeMode::Mode2},
         Verdict::TooSmall,
         rule_id::kPhotoSize,
         "photo 480 × 420 pixels, at least 295 × 447"},
    };
    testsupport::TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.variant) + " -> " + row.rule);
        const auto path = dir / "variant.png";
        ASSERT_TRUE(cv::imwrite(path.string(), Variant(row.variant)));
        Auditor auditor(testsupport::Cascade(), row.settings);
        const AuditReport report = auditor.Audit(path);
        EXPECT_EQ(report.verdict, row.verdict);
        EXPECT_EQ(report.decision.rule, row.rule);
        const Explanation e = ExplainAudit(report);
        EXPECT_NE(e.textEn.find(row.says), std::string::npos) << e.textEn;
    }
}

// When no crop frame fits, the explanation says which way, from the check
// of the frame search that ended its trials: head top at the top edge, photo
// cut below the chin, a small head in few pixels, a face at the left edge.
TEST(Explanation, NoFrameSaysWhichWay) {
    const struct {
        const rules::SizeModeParams& mode;
        cv::Size photo;
        cv::Rect face;
        int headTop;
        const char* says;  // in the English sentence
    } rows[] = {
        {rules::kMode2, {480, 1000}, {150, 40, 180, 180}, 0, "past the top edge"},
        {rules::kMode1, {480, 330}, {150, 150, 180, 180}, 60, "past the bottom edge"},
        {rules::kMode1, {200, 300}, {65, 100, 70, 70}, 60, "enlarging too much"},
        {rules::kMode1, {600, 1000}, {20, 300, 180, 180}, 200, "past the sides"},
    };
    for (const auto& row : rows) {
        const FrameSearch search = SearchFrame(row.mode, row.face, row.headTop, row.photo);
        const Explanation e = ExplainDecision(DecideCropFrame(search.trials, search.misses));
        EXPECT_FALSE(search.accepted) << row.says;
        EXPECT_NE(e.textEn.find(row.says), std::string::npos) << e.textEn;
    }
    EXPECT_EQ(ExplainDecision(DecideCropFrame(0)).textEn, "no crop frame fits inside the photo");
}
