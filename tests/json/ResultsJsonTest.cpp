// The results line of an audited photo: the keys of the first results keep
// their bytes, what is added since is appended, and a line reads back into
// what it records (for --resume and the report of an earlier run).
#include <gtest/gtest.h>

#include <string>

#include "core/explain/Quantity.h"
#include "json/ResultsJson.h"
#include "support/TestSupport.h"

using namespace quorvel;

namespace {

PhotoOutcome Outcome(Verdict verdict, const std::optional<AuditTrace>& trace) {
    PhotoOutcome outcome;
    outcome.file = "photos/id.jpg";
    outcome.audit.verdict = verdict;
    outcome.audit.face = cv::Rect(134, 304, 185, 185);
    if (verdict == Verdict::Passed) outcome.audit.processedPhoto = cv::Mat(441, 358, CV_8UC3);
    outcome.audit.trace = trace;
    outcome.audit.decision =
        verdict == Verdict::Passed ? DecidePassed({358, 441}, SizeMode::Mode1) : DecideHeadTop();
    outcome.reason = ExplainAudit(outcome.audit);
    return outcome;
}

std::string Line(const PhotoOutcome& outcome) {
    return JsonLine(AuditLineJson(outcome, true, Settings{BackgroundColor::Any, SizeMode::Mode1}));
}

std::string ReadAndWriteAgain(const std::string& line) {
    PhotoOutcome again = AuditOutcomeOf(JsonObject::parse(line));
    again.audit.processedPhoto = cv::Mat(441, 358, CV_8UC3);  // a line holds no pixels
    return Line(again);
}

}  // namespace

TEST(ResultsLine, KeepsItsKeysAndAppendsTheNamesOfTheCropSearch) {
    const std::string line = Line(Outcome(Verdict::Passed, testsupport::FullTrace()));
    EXPECT_EQ(
        line,
        R"({"file":"photos/id.jpg","state":1,"verdict":"AUDIT_PASSED","face":[134,304,185,185],)"
        R"("processed":{"width":358,"height":441,"path":null},"reason":{"rule":"passed",)"
        R"("measured":{"width":358,"height":441,"unit":"px"},"limit":{"min_width":215,)"
        R"("max_width":295,"unit":"px"},"text":"审核通过，输出 358×441 像素",)"
        R"("text_en":"passed; output 358 × 441 pixels"},"trace":{"photo":{"width":480,)"
        R"("height":640},"faces":[[134,304,185,185],[10,20,30,30]],"file_length":44239,)"
        R"("background":{"accepted_colour":true,"class":2,"class_name":"BG_BLUE",)"
        R"("sample_rgb":[66,142,218],"hsv":{"hue":210.4567,"saturation":0.6972,"value":0.8549},)"
        R"("areas":[100000,120000,110000],"mean_area":110000,"coverage":0.46317},)"
        R"("crop":{"head_top_row":250,"head_room":40,"trials":7,"accepted":true,"pass":"B",)"
        R"("k":1.25,"s":-0.0001,"u":0.333333,"t":0.8,"frame":{"left":100,"top":200,"right":400,)"
        R"("width":300},"output_width":358,"scaled":{"width":384,"height":512},)"
        R"("extraction":[1,2,358,441],"padding":{"columns":0,"rows":3},"head_room_factor":1.25,)"
        R"("spread":-0.0001,"least_spread":0.333333,"scale":0.8}},"settings":{"color":3,"size":1}})");
}

// Stages not reached are null, values not measured null, and the named keys
// are left out when they have no value.
TEST(ResultsLine, AbsentValuesKeepTheirShape) {
    AuditTrace unaccepted = testsupport::FullTrace();
    unaccepted.crop->search->accepted = false;
    unaccepted.background->fills.reset();
    unaccepted.background->hsv.hueDefined = false;
    const std::string line = Line(Outcome(Verdict::BadProportion, unaccepted));
    for (const char* part :
         {R"("hsv":{"hue":null,"saturation")", R"("areas":null,"mean_area":null,"coverage":null})",
          R"("accepted":false,"pass":null,"k":null,"s":null,"u":null,"t":null,"frame":null,)"
          R"("output_width":null,"scaled":null,"extraction":null,"padding":null}})"}) {
        EXPECT_NE(line.find(part), std::string::npos) << part << "\n" << line;
    }
    EXPECT_EQ(line.find("head_room_factor"), std::string::npos);

    AuditTrace faces;
    faces.photoSize = cv::Size(300, 400);
    EXPECT_NE(Line(Outcome(Verdict::NoFace, faces))
                  .find(R"("trace":{"photo":{"width":300,"height":400},"faces":[],)"
                        R"("file_length":null,"background":null,"crop":null})"),
              std::string::npos);
}

// What a line records comes back from it: the line written again is the
// same, and a card shows the same values.
TEST(ResultsLine, GivesBackWhatItRecords) {
    AuditTrace partial;
    partial.photoSize = cv::Size(300, 400);
    partial.faces = std::vector<cv::Rect>{};
    AuditTrace unaccepted = testsupport::FullTrace();
    unaccepted.crop->search->accepted = false;
    unaccepted.background->fills.reset();
    for (const AuditTrace& trace : {testsupport::FullTrace(), partial, unaccepted, AuditTrace{}}) {
        const std::string line = Line(Outcome(Verdict::Passed, trace));
        EXPECT_EQ(ReadAndWriteAgain(line), line);
        AuditReport traced;
        traced.trace = trace;
        AuditReport rebuilt;
        rebuilt.trace = TraceOfJson(JsonObject::parse(line)["trace"]);
        const std::vector<MeasuredValue> expected = MeasuredValues(traced);
        const std::vector<MeasuredValue> shown = MeasuredValues(rebuilt);
        ASSERT_EQ(shown.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(QuantityText(shown[i]), QuantityText(expected[i])) << expected[i].label;
        }
    }
}

// Results written before the crop search's values had names hold only the
// letters; --resume reads them.
TEST(ResultsLine, ReadsTheLettersOfEarlierResults) {
    const std::string line = Line(Outcome(Verdict::Passed, testsupport::FullTrace()));
    const std::string named =
        R"(,"head_room_factor":1.25,"spread":-0.0001,"least_spread":0.333333,"scale":0.8)";
    std::string earlier = line;
    earlier.erase(earlier.find(named), named.size());
    EXPECT_EQ(ReadAndWriteAgain(earlier), line);
}

// Every line carries what a report's card needs: the faces, the head top,
// the crop frame and the deciding rule's values, from which its sentences
// and next step come back.
TEST(ResultsLine, CarriesWhatACardNeeds) {
    PhotoOutcome outcome = Outcome(Verdict::BadBackground, std::nullopt);
    outcome.audit.marks.faces = {{12, 78, 170, 170}, {199, 73, 180, 180}};
    outcome.audit.marks.headTopRow = 120;
    outcome.audit.marks.cropFrame = cv::Rect(60, 48, 360, 504);
    outcome.audit.decision = DecideBackgroundSetting(BackgroundColor::Red, BackgroundColor::Blue);
    outcome.reason = ExplainAudit(outcome.audit);
    const std::string line = Line(outcome);
    EXPECT_NE(line.find(R"("settings":{"color":3,"size":1},"faces":[[12,78,170,170],)"
                        R"([199,73,180,180]],"head_top_row":120,"crop_frame":[60,48,360,504]})"),
              std::string::npos)
        << line;

    const PhotoOutcome read = AuditOutcomeOf(JsonObject::parse(line));
    EXPECT_EQ(read.audit.marks.faces, outcome.audit.marks.faces);
    EXPECT_EQ(read.audit.marks.headTopRow, 120);
    EXPECT_EQ(read.audit.marks.cropFrame, outcome.audit.marks.cropFrame);
    EXPECT_EQ(read.reason.text, outcome.reason.text);
    EXPECT_EQ(read.reason.advice, outcome.reason.advice) << "the next step comes back";
    EXPECT_EQ(read.reason.adviceEn, "retake in front of a plain blue wall");

    // Nothing measured, nothing appended.
    const std::string bare = Line(Outcome(Verdict::NoFace, std::nullopt));
    const std::string end = R"("settings":{"color":3,"size":1}})";
    EXPECT_EQ(bare.substr(bare.size() - end.size()), end);
}

// An advisory rule's finding is appended last, in the shape of "reason", and
// comes back for the report of a resumed run.
TEST(ResultsLine, AppendsAdviceLast) {
    PhotoOutcome outcome = Outcome(Verdict::Passed, std::nullopt);
    outcome.audit.marks.cropFrame = cv::Rect(60, 48, 360, 504);
    outcome.audit.advice = DecideClarity(41.2, 60);
    const std::string line = Line(outcome);
    const Explanation advice = ExplainDecision(*outcome.audit.advice);
    EXPECT_NE(line.find(R"("crop_frame":[60,48,360,504],"advice":{"rule":"photo.clarity",)"
                        R"("measured":{"value":41.2,"unit":null},"limit":{"min":60,"unit":null},)"
                        R"("text":")" +
                        advice.text + R"(","text_en":")" + advice.textEn + R"("}})"),
              std::string::npos)
        << line;
    const PhotoOutcome read = AuditOutcomeOf(JsonObject::parse(line));
    ASSERT_TRUE(read.audit.advice);
    EXPECT_EQ(ExplainDecision(*read.audit.advice).text, advice.text);
}

// What a line says about its photo is appended after "advice", in its
// order, each key only when it has a value; the exact bytes of a name come
// back whatever the name.
TEST(ResultsLine, AppendsThePhotosPlaceFileAndNameBytesAndReadsThemBack) {
    struct Case {
        const char* description;
        std::string name;
        const char* appended;  // the end of the line; nullptr: nothing of the photo appended
    };
    const std::vector<Case> cases = {
        {"nothing known of the photo", "photos/id.jpg", nullptr},
        {"UTF-8 name: its place, file and warning", "photos/照片 1.jpg",
         R"("position":7,"photo_length":44239,"photo_modified":"2026-12-08T09:10:11.000000042Z",)"
         R"("warnings":["Premature end of JPEG file"]})"},
        {"Latin-1 name", "caf\xE9.jpg",
         R"("position":7,"photo_length":44239,"photo_modified":"2026-12-08T09:10:11.000000042Z",)"
         R"("file_bytes":"caf%E9.jpg","warnings":["Premature end of JPEG file"]})"},
        {"GBK name with a per cent sign and a line end", "\xD5\xD5\xC6\xAC 100%\n.jpg",
         R"("position":7,"photo_length":44239,"photo_modified":"2026-12-08T09:10:11.000000042Z",)"
         R"("file_bytes":"%D5%D5%C6%AC 100%25%0A.jpg","warnings":["Premature end of JPEG file"]})"},
        {"a name holding U+FFFD itself", "a\xEF\xBF\xBD.jpg",
         R"("position":7,"photo_length":44239,"photo_modified":"2026-12-08T09:10:11.000000042Z",)"
         R"("file_bytes":"a%EF%BF%BD.jpg","warnings":["Premature end of JPEG file"]})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        PhotoOutcome outcome = Outcome(Verdict::Passed, std::nullopt);
        outcome.file = c.name;
        outcome.savedPath = "out/" + c.name;
        outcome.audit.advice = DecideClarity(41.2, 60);
        if (c.appended != nullptr) {
            outcome.position = 7;
            outcome.audit.photoStamp = FileStamp{44239, 1796721011, 42};
            outcome.audit.warnings = {"Premature end of JPEG file"};
        }
        const std::string line = Line(outcome);
        const std::string afterAdvice = line.substr(line.find("\"text_en\":\"The photo may"));
        if (c.appended == nullptr) {
            EXPECT_TRUE(afterAdvice.ends_with("\"}}")) << "advice stays last: " << line;
        } else {
            EXPECT_TRUE(afterAdvice.ends_with(std::string("\"},") + c.appended)) << line;
        }
        const PhotoOutcome read = AuditOutcomeOf(JsonObject::parse(line));
        EXPECT_EQ(read.file.native(), c.name);
        EXPECT_EQ(read.savedPath->native(), "out/" + c.name);
        EXPECT_EQ(read.position, outcome.position);
        EXPECT_EQ(read.audit.photoStamp, outcome.audit.photoStamp);
        EXPECT_EQ(read.audit.warnings, outcome.audit.warnings);
        EXPECT_EQ(read.processedSize, cv::Size(358, 441));
    }
}
