// The verifier against photos the tool saved from varied originals and
// against forgeries of every kind: no genuine save refused, at least 90 % of
// the forgeries of the pictures caught and 95 % of each kind of forged file
// in the evaluation half (the other half is the one tolerances are tuned
// on). Prints the figures docs/verification.md quotes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "core/rules/Rules.h"
#include "core/verify/GenuinePhoto.h"
#include "support/TestSupport.h"
#include "verify/ForgeryKinds.h"
#include "verify/GenuineSet.h"
#include "verify/VariedSet.h"

using namespace quorvel;
using testsupport::Cascade;
using testsupport::TempDir;
using verifytest::GenuineSettings;

namespace {

std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& p : problems) text += p + "; ";
    return text;
}

const Quantity* Measured(const GenuineCheck& check, const std::string& rule) {
    for (const VerifyCheck& c : check.checks) {
        if (c.explanation.rule == rule && c.explanation.measured) return &*c.explanation.measured;
    }
    return nullptr;
}

// How far a colour lies outside the audit's nearest class: hue degrees,
// saturation above the white limit, value below the white or dark limit.
struct Drift {
    double hue = 0, saturation = 0, value = 0;
};

Drift DriftOf(double hue, bool hueDefined, double saturation, double value) {
    Drift white{0, std::max(0.0, saturation - rules::kWhiteMaxSaturation),
                std::max(0.0, rules::kWhiteMinValue - value)};
    Drift best = white;
    if (hueDefined) {
        const double red =
            hue >= rules::kRedHueFrom || hue < rules::kRedHueBelow
                ? 0
                : std::min(rules::kRedHueFrom - hue, hue - rules::kRedHueBelow + 1e-9);
        const double blue =
            hue >= rules::kBlueHueFrom && hue <= rules::kBlueHueTo
                ? 0
                : std::min(std::abs(hue - rules::kBlueHueFrom), std::abs(hue - rules::kBlueHueTo));
        const Drift coloured{std::min(red, blue), 0, std::max(0.0, rules::kDarkValueBelow - value)};
        if (coloured.hue == 0 || white.saturation + white.value > 0.1) best = coloured;
    }
    return best;
}

}  // namespace

TEST(GenuineYardstick, NoGenuineSaveRefusedAndForgeriesOfEveryKindCaught) {
    TempDir dir;
    const std::vector<verifytest::SavedGenuine> genuine =
        verifytest::BuildVariedGenuine(dir.path());
    ASSERT_GE(genuine.size(), 100u) << "the varied originals should mostly pass the audit";

    int refused = 0, refusedEval = 0, eval = 0;
    double minCoverage = 1;
    Drift drift;
    double widthJitter = 0, centreJitter = 0, topJitter = 0;
    for (const verifytest::SavedGenuine& g : genuine) {
        const GenuineCheck check = CheckGenuinePhotoFile(g.file.path, Cascade(), g.file.settings);
        EXPECT_TRUE(check.genuine) << g.file.description << ": " << Joined(check.problems);
        if (!check.genuine) ++refused;
        if (g.eval) {
            ++eval;
            if (!check.genuine) ++refusedEval;
        }
        minCoverage = std::min(minCoverage, check.backgroundCoverage);
        if (const Quantity* colour = Measured(check, "verify.background.colour")) {
            for (const char* side : {"left", "right"}) {
                const std::string s = side;
                const std::optional<double> hue = colour->Number(s + "_hue");
                const Drift d =
                    DriftOf(hue.value_or(0), hue.has_value(), *colour->Number(s + "_saturation"),
                            *colour->Number(s + "_value"));
                drift.hue = std::max(drift.hue, d.hue);
                drift.saturation = std::max(drift.saturation, d.saturation);
                drift.value = std::max(drift.value, d.value);
            }
        }
        // The face the crop placed, against the face found in the saved photo.
        const CropTrace& crop = *g.audit.trace->crop;
        if (check.face && crop.extraction) {
            const double t = crop.search->scale;
            const cv::Rect& f = *g.audit.face;
            const cv::Rect& cut = crop.extraction->rect;
            const double w = f.width * t;
            const double x = f.x * t - cut.x;
            const double y = f.y * t - cut.y;
            const cv::Rect& m = *check.face;
            widthJitter = std::max(widthJitter, std::abs(m.width - w) / w);
            centreJitter = std::max(centreJitter, std::abs(m.x + m.width / 2.0 - x - w / 2) / w);
            topJitter = std::max(topJitter, std::abs(m.y - y) / w);
        }
    }
    std::printf("varied genuine saves: %zu checked, %d refused; evaluation half %d, %d refused\n",
                genuine.size(), refused, eval, refusedEval);
    std::printf("  smallest background coverage %.1f %%\n", minCoverage * 100);
    std::printf(
        "  largest colour drift outside the audit's classes: hue %.2f deg, saturation %.4f, value "
        "%.4f\n",
        drift.hue, drift.saturation, drift.value);
    std::printf(
        "  face found again within: width %.1f %%, centre %.1f %%, top %.1f %% of its width\n",
        widthJitter * 100, centreJitter * 100, topJitter * 100);

    const std::vector<verifytest::Forgery> forged = verifytest::BuildForgeries(dir.path(), genuine);
    ASSERT_GE(forged.size(), 40u);
    const std::vector<verifytest::Forgery> files =
        verifytest::BuildFileForgeries(dir.path(), genuine);
    struct Counts {
        int caught = 0, total = 0, evalCaught = 0, evalTotal = 0;
        bool file = false;
    };
    std::map<std::string, Counts> byKind;
    // A band of backdrop over another wall is what a genuine tight crop
    // shows (see the tight crops below): no file-only rule tells them apart.
    const std::string uncatchable = "green under a white band along the top";
    int caught = 0, catchable = 0;
    for (const auto* set : {&forged, &files}) {
        for (const verifytest::Forgery& f : *set) {
            const GenuineCheck check =
                CheckGenuinePhotoFile(f.file.path, Cascade(), f.file.settings);
            EXPECT_TRUE(check.marker) << f.file.description;
            Counts& counts = byKind[f.kind];
            counts.file = set == &files;
            ++counts.total;
            catchable += set == &forged && f.kind != uncatchable ? 1 : 0;
            counts.evalTotal += f.eval ? 1 : 0;
            if (!check.genuine) {
                caught += set == &forged && f.kind != uncatchable ? 1 : 0;
                ++counts.caught;
                counts.evalCaught += f.eval ? 1 : 0;
            } else {
                std::printf("  not caught: %s%s\n", f.file.description.c_str(),
                            f.eval ? " [evaluation half]" : "");
            }
        }
    }
    std::printf("forgeries of the picture a rule can tell: %d, caught %d (%.1f %%)\n", catchable,
                caught, 100.0 * caught / static_cast<double>(catchable));
    std::printf("forged files: %zu\n", files.size());
    std::printf("  evaluation   tuning     kind\n");
    for (const auto& [kind, c] : byKind) {
        std::printf("  %3d of %3d  %3d of %3d  %s\n", c.evalCaught, c.evalTotal,
                    c.caught - c.evalCaught, c.total - c.evalTotal, kind.c_str());
        if (c.file) {
            EXPECT_GT(c.evalTotal, 0) << kind;
            EXPECT_GE(c.evalCaught * 100, c.evalTotal * 95) << kind;
        }
    }
    EXPECT_EQ(refused, 0);
    EXPECT_GE(caught * 10, catchable * 9) << "fewer than 90 % caught";
}

// Prints the figures quoted in docs/verification.md: files checked, false rejections,
// forged files caught.
TEST(GenuinePhoto, AcceptsEverySavedPassAndCatchesForgeries) {
    TempDir dir;
    std::vector<verifytest::SetFile> genuine, forged;
    verifytest::BuildSets(dir.path(), genuine, forged);
    ASSERT_GE(genuine.size(), 40u) << "the measurement needs passed photos";

    int rejected = 0;
    for (const auto& file : genuine) {
        const GenuineCheck check =
            CheckGenuinePhotoFile(file.path.string(), Cascade(), file.settings);
        std::printf("genuine %-60s face %.2f centre %+.3f top %.3f coverage %.2f %s\n",
                    file.description.c_str(), check.faceWidthShare, check.centreOffset,
                    check.faceTopShare, check.backgroundCoverage,
                    check.genuine ? "ok" : "REJECTED");
        EXPECT_TRUE(check.genuine) << file.description << ": " << Joined(check.problems);
        EXPECT_TRUE(check.marker) << file.description;
        if (!check.genuine) ++rejected;
    }
    int caught = 0;
    std::map<std::string, int> reasons;
    for (const auto& file : forged) {
        const GenuineCheck check =
            CheckGenuinePhotoFile(file.path.string(), Cascade(), file.settings);
        EXPECT_TRUE(check.marker) << file.description;
        if (!check.genuine) {
            ++caught;
            ++reasons[check.problems.front().substr(
                0, check.problems.front().find_first_of(":;0123456789"))];
        } else {
            std::printf("forged  %-60s NOT CAUGHT\n", file.description.c_str());
        }
    }
    std::printf("genuine files: %zu, falsely rejected: %d\n", genuine.size(), rejected);
    std::printf("forged files: %zu, caught: %d (%.1f %%)\n", forged.size(), caught,
                100.0 * caught / static_cast<double>(forged.size()));
    for (const auto& [reason, count] : reasons) std::printf("  %3d  %s\n", count, reason.c_str());
    EXPECT_EQ(rejected, 0);
    EXPECT_GE(caught * 4, static_cast<int>(forged.size()) * 3) << "fewer than 75 % caught";
}

// Saves of tight crops whose backdrop beside the head is the fixture's dark
// room under a band of its blue: they verify, except where the crop shows no
// backdrop at all (the hair and the room fill the top), which no file-only
// rule can tell from any portrait. Prints the figures docs/verification.md
// quotes.
TEST(GenuineYardstick, TightCropsVerifyUnlessTheyShowNoBackdrop) {
    TempDir dir;
    const std::vector<verifytest::SavedGenuine> tight = verifytest::BuildTightCrops(dir.path());
    ASSERT_GE(tight.size(), 40u) << "the tight crops should mostly pass the audit";

    int refused[2] = {0, 0}, checked[2] = {0, 0};
    std::map<std::string, int> byRule;
    for (const verifytest::SavedGenuine& g : tight) {
        const GenuineCheck check = CheckGenuinePhotoFile(g.file.path, Cascade(), g.file.settings);
        ++checked[g.eval ? 1 : 0];
        if (check.genuine) continue;
        ++refused[g.eval ? 1 : 0];
        ++byRule[check.problems.front().substr(0, check.problems.front().find(':'))];
        // Refused only for the colour at the top, which there is hair and room.
        ASSERT_EQ(check.problems.size(), 1u) << g.file.description;
        EXPECT_EQ(check.problems.front().rfind("verify.background.colour:", 0), 0u)
            << g.file.description << ": " << check.problems.front();
    }
    std::printf("tight crops: evaluation %d checked, %d refused; tuning %d checked, %d refused\n",
                checked[1], refused[1], checked[0], refused[0]);
    for (const auto& [rule, count] : byRule) std::printf("  %3d  %s\n", count, rule.c_str());
}
