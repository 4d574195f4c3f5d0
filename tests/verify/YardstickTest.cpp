// The verifier against photos the tool saved from varied originals and
// against forgeries of every kind: no genuine save refused, at least 90 % of
// the forgeries caught. Prints the figures the README quotes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "core/rules/Rules.h"
#include "core/verify/GenuinePhoto.h"
#include "support/TestSupport.h"
#include "verify/VariedSet.h"

using namespace quorvel;
using testsupport::Cascade;
using testsupport::TempDir;

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

    int refused = 0;
    double minCoverage = 1;
    Drift drift;
    double widthJitter = 0, centreJitter = 0, topJitter = 0;
    for (const verifytest::SavedGenuine& g : genuine) {
        const GenuineCheck check = CheckGenuinePhotoFile(g.file.path, Cascade(), g.file.settings);
        EXPECT_TRUE(check.genuine) << g.file.description << ": " << Joined(check.problems);
        if (!check.genuine) ++refused;
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
            const double t = crop.search->t;
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
    std::printf("varied genuine saves: %zu checked, %d refused\n", genuine.size(), refused);
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
    std::map<std::string, std::pair<int, int>> byKind;  // caught, total
    int caught = 0;
    for (const verifytest::Forgery& f : forged) {
        const GenuineCheck check = CheckGenuinePhotoFile(f.file.path, Cascade(), f.file.settings);
        EXPECT_TRUE(check.marker) << f.file.description;
        auto& [kindCaught, kindTotal] = byKind[f.kind];
        ++kindTotal;
        if (!check.genuine) {
            ++caught;
            ++kindCaught;
        } else {
            std::printf("  not caught: %s\n", f.file.description.c_str());
        }
    }
    std::printf("forgeries: %zu, caught %d (%.1f %%)\n", forged.size(), caught,
                100.0 * caught / static_cast<double>(forged.size()));
    for (const auto& [kind, counts] : byKind) {
        std::printf("  %3d of %3d  %s\n", counts.first, counts.second, kind.c_str());
    }
    EXPECT_EQ(refused, 0);
    EXPECT_GE(caught * 10, static_cast<int>(forged.size()) * 9) << "fewer than 90 % caught";
}
