#pragma once

#include <filesystem>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/audit/AuditReport.h"
#include "support/GenuineSet.h"

namespace verifytest {

// A saved photo of a passed audit, with what the audit measured (to compare
// the verifier's view of the saved face with the face the crop placed).
struct SavedGenuine {
    SetFile file;
    quorvel::AuditReport audit;
    bool plainBackdrop = false;  // one colour along the original's top (no gradient, no hair)
    bool eval = false;           // in the half the figures are given on, never tuned on
};

// A forgery and its kind ("repainted violet", "second JPEG before the marker").
struct Forgery {
    std::string kind;
    SetFile file;
    bool eval = false;  // made from a save of the evaluation half
};

// Photos composed from the blue fixture's head and shoulders on varied
// backdrops (white-to-blue gradients both ways, a vertical gradient, colours
// close to each class limit, a darker grey-blue, a thin band along the top,
// wide hair reaching the top corners) and at varied scales and places (faces
// across the accepted range, small head-room for the second pass), audited
// in both size modes; every pass saved as JPEG and PNG, each checked with
// colour 3 and with the class the audit found. Every other original is in
// the evaluation half.
std::vector<SavedGenuine> BuildVariedGenuine(const std::filesystem::path& dir);

// Saves of tight crops of the blue fixture enlarged 1.3 to 1.9 times, the
// person's top at or just below the original's top edge: the audit samples
// the fixture's blue there, while the saves show it only as a band along the
// top over the portrait's own dark room (docs/verification.md, genuine saves
// refused). Split into halves as above.
std::vector<SavedGenuine> BuildTightCrops(const std::filesystem::path& dir);

// Forgeries of every kind a registration side meets, made from the passed
// photos above: background repainted outside the setting's classes, a white
// band over a green wall, crowd scenes cropped and scaled to a valid size,
// bytes (a second JPEG, text ending in FF D9) between the image and the
// marker, and a re-encoding at another JPEG quality.
std::vector<Forgery> BuildForgeries(const std::filesystem::path& dir,
                                    const std::vector<SavedGenuine>& genuine);

}  // namespace verifytest
