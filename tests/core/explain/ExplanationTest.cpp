#include <gtest/gtest.h>

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
        const Explanation e = ExplainAudit(report, settings);
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
        const Explanation e = ExplainCropFrame(search.trials, search.misses);
        EXPECT_FALSE(search.accepted) << row.says;
        EXPECT_NE(e.textEn.find(row.says), std::string::npos) << e.textEn;
    }
    EXPECT_EQ(ExplainCropFrame(0).textEn, "no crop frame fits inside the photo");
}
