#include "support/Yardstick.h"

#include <algorithm>
#include <cmath>

#include "core/rules/Rules.h"
#include "support/ForgeryKinds.h"
#include "support/GenuineSet.h"
#include "support/PngForgeries.h"
#include "support/TestSupport.h"
#include "support/VariedSet.h"

namespace verifytest {

using namespace quorvel;
using testsupport::Cascade;

namespace {

const Quantity* Measured(const GenuineCheck& check, const std::string& rule) {
    for (const VerifyCheck& c : check.checks) {
        if (c.explanation.rule == rule && c.explanation.measured) return &*c.explanation.measured;
    }
    return nullptr;
}

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

std::optional<PlacedFace> FacePlaced(const SavedGenuine& g) {
    const CropTrace& crop = *g.audit.trace->crop;
    if (!g.audit.face || !crop.extraction) return std::nullopt;
    const double scale = crop.search->scale;
    const cv::Rect& placed = *g.audit.face;
    const cv::Rect& cut = crop.extraction->rect;
    return PlacedFace{placed.x * scale - cut.x, placed.y * scale - cut.y, placed.width * scale};
}

namespace {

// The colour drift and the face's jitter of one genuine save, folded into the figures.
void AddGenuine(VariedFigures& figures, const SavedGenuine& g, const GenuineCheck& check) {
    figures.minCoverage = std::min(figures.minCoverage, check.backgroundCoverage);
    if (const Quantity* colour = Measured(check, "verify.background.colour")) {
        for (const std::string side : {"left", "right"}) {
            const std::optional<double> hue = colour->Number(side + "_hue");
            const Drift d =
                DriftOf(hue.value_or(0), hue.has_value(), *colour->Number(side + "_saturation"),
                        *colour->Number(side + "_value"));
            figures.drift.hue = std::max(figures.drift.hue, d.hue);
            figures.drift.saturation = std::max(figures.drift.saturation, d.saturation);
            figures.drift.value = std::max(figures.drift.value, d.value);
        }
    }
    const std::optional<PlacedFace> placed = FacePlaced(g);
    if (!check.face || !placed) return;
    const double w = placed->width, x = placed->x, y = placed->y;
    const cv::Rect& found = *check.face;
    figures.leastFaceShare = std::min(figures.leastFaceShare, check.faceWidthShare);
    double& narrowing = figures.narrowing[g.eval ? 1 : 0];
    narrowing = std::max(narrowing, (w - found.width) / w);
    figures.widthJitter = std::max(figures.widthJitter, std::abs(found.width - w) / w);
    figures.centreJitter =
        std::max(figures.centreJitter, std::abs(found.x + found.width / 2.0 - x - w / 2) / w);
    figures.topJitter = std::max(figures.topJitter, std::abs(found.y - y) / w);
}

// A band of backdrop over another wall is what a genuine tight crop shows:
// no file-only rule tells them apart, so it is counted apart.
bool RuleCanTell(const Forgery& f) { return f.kind != kBandOverAnotherWall; }

void AddForgery(VariedFigures& figures, const Forgery& f, bool ofTheFile) {
    const GenuineCheck check = CheckGenuinePhotoFile(f.file.path, Cascade(), f.file.settings);
    if (!check.marker) figures.withoutMarker.push_back(f.file.description);
    KindCounts& counts = figures.byKind[f.kind];
    counts.file = ofTheFile;
    ++counts.total;
    counts.evalTotal += f.eval ? 1 : 0;
    if (check.genuine) {
        figures.notCaught.push_back(f.file.description + (f.eval ? " [evaluation half]" : ""));
        return;
    }
    figures.pictureCaught += ofTheFile || !RuleCanTell(f) ? 0 : 1;
    ++counts.caught;
    counts.evalCaught += f.eval ? 1 : 0;
}

}  // namespace

std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& p : problems) text += p + "; ";
    return text;
}

VariedFigures MeasureVaried(const std::filesystem::path& dir) {
    VariedFigures figures;
    const std::vector<SavedGenuine> genuine = BuildVariedGenuine(dir);
    figures.genuine = genuine.size();
    for (const SavedGenuine& g : genuine) {
        const GenuineCheck check = CheckGenuinePhotoFile(g.file.path, Cascade(), g.file.settings);
        figures.eval += g.eval ? 1 : 0;
        if (!check.genuine) {
            ++figures.refused;
            figures.refusedEval += g.eval ? 1 : 0;
            figures.refusedSaves.push_back(g.file.description + ": " +
                                           Joined(ProblemSentences(check)));
        }
        AddGenuine(figures, g, check);
    }
    std::vector<Forgery> forged = BuildForgeries(dir, genuine);
    std::vector<Forgery> files = BuildFileForgeries(dir, genuine);
    for (Forgery& f : BuildSmallFaceForgeries(dir, genuine)) forged.push_back(std::move(f));
    for (Forgery& f : BuildPngForgeries(dir, genuine)) files.push_back(std::move(f));
    figures.pictureForgeries = std::count_if(forged.begin(), forged.end(), RuleCanTell);
    figures.fileForgeries = files.size();
    for (const Forgery& f : forged) AddForgery(figures, f, false);
    for (const Forgery& f : files) AddForgery(figures, f, true);
    return figures;
}

FixtureFigures MeasureFixtures(const std::filesystem::path& dir) {
    FixtureFigures figures;
    std::vector<SetFile> genuine, forged;
    BuildSets(dir, genuine, forged);
    for (const SetFile& file : genuine) {
        const GenuineCheck check = CheckGenuinePhotoFile(file.path, Cascade(), file.settings);
        if (!check.marker) figures.withoutMarker.push_back(file.description);
        if (!check.genuine) {
            ++figures.rejected;
            figures.rejectedSaves.push_back(file.description + ": " +
                                            Joined(ProblemSentences(check)));
        }
        figures.genuine.push_back({file.description, check});
    }
    figures.forged = forged.size();
    for (const SetFile& file : forged) {
        const GenuineCheck check = CheckGenuinePhotoFile(file.path, Cascade(), file.settings);
        if (!check.marker) figures.withoutMarker.push_back(file.description);
        if (check.genuine) {
            figures.notCaught.push_back(file.description);
            continue;
        }
        ++figures.caught;
        const std::string first = ProblemSentences(check).front();
        ++figures.reasons[first.substr(0, first.find_first_of(":;0123456789"))];
    }
    return figures;
}

TightCropFigures MeasureTightCrops(const std::filesystem::path& dir) {
    TightCropFigures figures;
    const std::vector<SavedGenuine> tight = BuildTightCrops(dir);
    figures.saves = tight.size();
    for (const SavedGenuine& g : tight) {
        const GenuineCheck check = CheckGenuinePhotoFile(g.file.path, Cascade(), g.file.settings);
        const int half = g.eval ? 1 : 0;
        ++figures.checked[half];
        const std::optional<PlacedFace> placed = FacePlaced(g);
        if (check.face && placed) {
            figures.narrowing[half] = std::max(figures.narrowing[half],
                                               (placed->width - check.face->width) / placed->width);
        }
        if (check.genuine) continue;
        ++figures.refused[half];
        const std::vector<std::string> problems = ProblemSentences(check);
        ++figures.byRule[problems.front().substr(0, problems.front().find(':'))];
        if (problems.size() != 1 || problems.front().rfind("verify.background.colour:", 0) != 0) {
            figures.otherThanNoBackdrop.push_back(g.file.description + ": " + Joined(problems));
        }
    }
    return figures;
}

}  // namespace verifytest
