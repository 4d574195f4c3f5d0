#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/verify/GenuinePhoto.h"
#include "support/VariedSet.h"

// The verifier measured on the sets of GenuineSet, VariedSet and
// ForgeryKinds: what the yardstick tests hold to their limits and what
// tools/yardstick prints for docs/verification.md.
namespace verifytest {

// The face the crop placed in a save, in the saved photo's pixels: its
// left column, top row and width (the audit's face scaled and cut).
struct PlacedFace {
    double x = 0, y = 0, width = 0;
};
std::optional<PlacedFace> FacePlaced(const SavedGenuine& g);

// How far a colour lies outside the audit's nearest class: hue degrees,
// saturation above the white limit, value below the white or dark limit.
struct Drift {
    double hue = 0, saturation = 0, value = 0;
};

// Forgeries of one kind caught, in the evaluation half and in all.
struct KindCounts {
    int caught = 0, total = 0, evalCaught = 0, evalTotal = 0;
    bool file = false;  // a forgery of the file rather than of the picture
};

// The forgery kind a genuine tight crop looks like.
inline const std::string kBandOverAnotherWall = "green under a white band along the top";

// The varied genuine saves and the forgeries made from them.
struct VariedFigures {
    std::size_t genuine = 0;
    int refused = 0, eval = 0, refusedEval = 0;
    std::vector<std::string> refusedSaves;  // "description: problems"
    double minCoverage = 1;
    Drift drift;
    // The face found in the saved photo against the face the crop placed,
    // as shares of its width.
    double widthJitter = 0, centreJitter = 0, topJitter = 0;
    // How much narrower than the crop placed it the detector found the face,
    // largest by half (0 tuning, 1 evaluation), and the least face share found.
    double narrowing[2] = {0, 0};
    double leastFaceShare = 1;
    // Forgeries of the picture that a file-only rule can tell from a save
    // (all but kBandOverAnotherWall), and of the file.
    std::size_t pictureForgeries = 0, fileForgeries = 0;
    int pictureCaught = 0;
    std::map<std::string, KindCounts> byKind;
    std::vector<std::string> notCaught;      // "description [evaluation half]"
    std::vector<std::string> withoutMarker;  // forgeries whose marker was not found
};
VariedFigures MeasureVaried(const std::filesystem::path& dir);

// One checked save of the fixtures' set.
struct CheckedSave {
    std::string description;
    quorvel::GenuineCheck check;
};

// The fixtures' saves and the photos that never passed, with the marker.
struct FixtureFigures {
    std::vector<CheckedSave> genuine;
    int rejected = 0;
    std::vector<std::string> rejectedSaves;  // "description: problems"
    std::size_t forged = 0;
    int caught = 0;
    std::map<std::string, int> reasons;      // the first problem's rule, caught forgeries
    std::vector<std::string> notCaught;      // descriptions
    std::vector<std::string> withoutMarker;  // descriptions, genuine and forged
};
FixtureFigures MeasureFixtures(const std::filesystem::path& dir);

// The tight crops, by half (0 tuning, 1 evaluation).
struct TightCropFigures {
    std::size_t saves = 0;
    int checked[2] = {0, 0}, refused[2] = {0, 0};
    double narrowing[2] = {0, 0};       // as for the varied set
    std::map<std::string, int> byRule;  // the first problem's rule, refused saves
    // Refusals other than a top that shows no backdrop (the colour alone).
    std::vector<std::string> otherThanNoBackdrop;  // "description: problems"
};
TightCropFigures MeasureTightCrops(const std::filesystem::path& dir);

// "a; b; " from a check's problems.
std::string Joined(const std::vector<std::string>& problems);

}  // namespace verifytest
