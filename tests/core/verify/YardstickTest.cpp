// The verifier against photos the tool saved from varied originals and
// against forgeries of every kind: no genuine save refused, at least 90 % of
// the forgeries of the pictures caught and 95 % of each kind of forged file
// in the evaluation half (the other half is the one tolerances are tuned
// on), and every PNG re-save, payload in the image data and face under the
// floor. tools/yardstick prints the figures docs/verification.md quotes.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "support/Yardstick.h"

using testsupport::TempDir;

namespace {

std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += "\n  " + item;
    return text;
}

}  // namespace

TEST(GenuineYardstick, NoGenuineSaveRefusedAndForgeriesOfEveryKindCaught) {
    TempDir dir;
    const verifytest::VariedFigures figures = verifytest::MeasureVaried(dir.path());
    ASSERT_GE(figures.genuine, 100u) << "the varied originals should mostly pass the audit";
    EXPECT_TRUE(figures.refusedSaves.empty()) << Listed(figures.refusedSaves);
    EXPECT_EQ(figures.refused, 0);

    ASSERT_GE(figures.pictureForgeries, 40u);
    EXPECT_TRUE(figures.withoutMarker.empty()) << Listed(figures.withoutMarker);
    for (const auto& [kind, c] : figures.byKind) {
        if (!c.file) continue;
        EXPECT_GT(c.evalTotal, 0) << kind;
        EXPECT_GE(c.evalCaught * 100, c.evalTotal * 95) << kind;
    }
    EXPECT_GE(figures.pictureCaught * 10, static_cast<int>(figures.pictureForgeries) * 9)
        << "fewer than 90 % caught; not caught:" << Listed(figures.notCaught);
    // PNG re-saves by other encoders, data inside the image data and faces
    // under the face-share floor: every one refused, in both halves.
    for (const char* kind : {"PNG written by Pillow (default)", "PNG written by Pillow (optimised)",
                             "PNG written by Pillow (level 1)", "PNG written by ImageMagick -strip",
                             "ZIP inside the PNG image data, listed by unzip",
                             "JPEG of another person inside the PNG image data",
                             "HTML page in an IDAT chunk of its own",
                             "second compressed stream of another photo's rows in an IDAT chunk",
                             "another photo's rows after the save's in its compressed stream",
                             "face drawn at 60 to 80 % of the face-share floor"}) {
        const auto found = figures.byKind.find(kind);
        ASSERT_NE(found, figures.byKind.end()) << kind << ": none made (python3-pil, imagemagick)";
        EXPECT_GT(found->second.evalTotal, 0) << kind;
        EXPECT_EQ(found->second.caught, found->second.total) << kind;
    }
}

TEST(GenuinePhoto, AcceptsEverySavedPassAndCatchesForgeries) {
    TempDir dir;
    const verifytest::FixtureFigures figures = verifytest::MeasureFixtures(dir.path());
    ASSERT_GE(figures.genuine.size(), 40u) << "the measurement needs passed photos";
    EXPECT_TRUE(figures.rejectedSaves.empty()) << Listed(figures.rejectedSaves);
    EXPECT_TRUE(figures.withoutMarker.empty()) << Listed(figures.withoutMarker);
    EXPECT_EQ(figures.rejected, 0);
    EXPECT_GE(figures.caught * 4, static_cast<int>(figures.forged) * 3)
        << "fewer than 75 % caught; not caught:" << Listed(figures.notCaught);
}

// Saves of tight crops whose backdrop beside the head is the fixture's dark
// room under a band of its blue: they verify, except where the crop shows no
// backdrop at all (the hair and the room fill the top), which no file-only
// rule can tell from any portrait: refused then for the colour alone.
TEST(GenuineYardstick, TightCropsVerifyUnlessTheyShowNoBackdrop) {
    TempDir dir;
    const verifytest::TightCropFigures figures = verifytest::MeasureTightCrops(dir.path());
    ASSERT_GE(figures.saves, 40u) << "the tight crops should mostly pass the audit";
    EXPECT_TRUE(figures.otherThanNoBackdrop.empty()) << Listed(figures.otherThanNoBackdrop);
}
