// Prints the verifier's figures that docs/verification.md quotes: the
// genuine saves and forgeries of the varied set by kind and half, the
// fixtures' saves one by one, and the tight crops by rule. The sets are
// built afresh in a temporary folder; the tests of the yardstick hold the
// same figures to their limits.
#include <cstdio>
#include <string>

#include "support/TestSupport.h"
#include "support/Yardstick.h"

namespace {

void PrintVaried(const verifytest::VariedFigures& f) {
    std::printf("varied genuine saves: %zu checked, %d refused; evaluation half %d, %d refused\n",
                f.genuine, f.refused, f.eval, f.refusedEval);
    for (const std::string& save : f.refusedSaves) std::printf("  refused: %s\n", save.c_str());
    std::printf("  smallest background coverage %.1f %%\n", f.minCoverage * 100);
    std::printf(
        "  largest colour drift outside the audit's classes: hue %.2f deg, saturation %.4f, value "
        "%.4f\n",
        f.drift.hue, f.drift.saturation, f.drift.value);
    std::printf(
        "  face found again within: width %.1f %%, centre %.1f %%, top %.1f %% of its width\n",
        f.widthJitter * 100, f.centreJitter * 100, f.topJitter * 100);
    std::printf(
        "  face found narrower than placed by at most: tuning %.1f %%, evaluation %.1f %% of its "
        "width; least face share found %.3f\n",
        f.narrowing[0] * 100, f.narrowing[1] * 100, f.leastFaceShare);
    for (const std::string& forgery : f.notCaught) {
        std::printf("  not caught: %s\n", forgery.c_str());
    }
    std::printf("forgeries of the picture a rule can tell: %zu, caught %d (%.1f %%)\n",
                f.pictureForgeries, f.pictureCaught,
                100.0 * f.pictureCaught / static_cast<double>(f.pictureForgeries));
    std::printf("forged files: %zu\n", f.fileForgeries);
    std::printf("  evaluation   tuning     kind\n");
    for (const auto& [kind, c] : f.byKind) {
        std::printf("  %3d of %3d  %3d of %3d  %s\n", c.evalCaught, c.evalTotal,
                    c.caught - c.evalCaught, c.total - c.evalTotal, kind.c_str());
    }
}

void PrintFixtures(const verifytest::FixtureFigures& f) {
    for (const verifytest::CheckedSave& save : f.genuine) {
        const quorvel::GenuineCheck& check = save.check;
        std::printf("genuine %-60s face %.2f centre %+.3f top %.3f coverage %.2f %s\n",
                    save.description.c_str(), check.faceWidthShare, check.centreOffset,
                    check.faceTopShare, check.backgroundCoverage,
                    check.genuine ? "ok" : "REJECTED");
    }
    for (const std::string& forgery : f.notCaught) {
        std::printf("forged  %-60s NOT CAUGHT\n", forgery.c_str());
    }
    std::printf("genuine files: %zu, falsely rejected: %d\n", f.genuine.size(), f.rejected);
    std::printf("forged files: %zu, caught: %d (%.1f %%)\n", f.forged, f.caught,
                100.0 * f.caught / static_cast<double>(f.forged));
    for (const auto& [reason, count] : f.reasons) std::printf("  %3d  %s\n", count, reason.c_str());
}

void PrintTightCrops(const verifytest::TightCropFigures& f) {
    std::printf("tight crops: evaluation %d checked, %d refused; tuning %d checked, %d refused\n",
                f.checked[1], f.refused[1], f.checked[0], f.refused[0]);
    std::printf(
        "  face found narrower than placed by at most: tuning %.1f %%, evaluation %.1f %%\n",
        f.narrowing[0] * 100, f.narrowing[1] * 100);
    for (const auto& [rule, count] : f.byRule) std::printf("  %3d  %s\n", count, rule.c_str());
}

}  // namespace

int main() {
    std::printf("== the varied set\n");
    PrintVaried(verifytest::MeasureVaried(testsupport::TempDir().path()));
    std::printf("\n== the fixtures' set\n");
    PrintFixtures(verifytest::MeasureFixtures(testsupport::TempDir().path()));
    std::printf("\n== the tight crops\n");
    PrintTightCrops(verifytest::MeasureTightCrops(testsupport::TempDir().path()));
    return 0;
}
