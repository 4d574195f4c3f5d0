#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/common/Result.h"
#include "core/config/Settings.h"
#include "core/explain/Explanation.h"
#include "core/io/ImageStructure.h"

namespace quorvel {

// Whether a file is what a passed audit saves: JPEG, PNG or BMP data exactly
// as the save's encoder writes it (quality 50 for JPEG), within the caps of
// decoding cost (checked before anything is decoded), undamaged, directly
// followed by the pass marker, of a size the size mode produces (read from
// the header before anything is decoded), on a plain background of a colour
// the setting allows that reaches the top edge on both sides of the head,
// with one face as wide, as centred and as high as the crop search can place
// it. docs/verification.md lists the checks.

// The longest file the verifier reads: far above any save the tool makes
// (an uncompressed BMP of the widest output is under 1 MB).
inline constexpr std::uintmax_t kMaxVerifiedFileBytes = 4 * 1024 * 1024;

// One check and its outcome; the explanation names the rule, what was
// measured and the allowed range.
struct VerifyCheck {
    Explanation explanation;
    bool passed = false;
};

struct GenuineCheck {
    bool marker = false;              // the file ends with the pass marker
    bool genuine = false;             // every check passed
    std::vector<VerifyCheck> checks;  // every check made, in order
    // The bytes could not be checked: the file could not be read (missing,
    // too large, ...) or memory ran out; its check "verify.file" failed.
    std::optional<Error> error;

    std::string format;  // "JPEG", "PNG", "BMP" or "image" for other formats
    cv::Size size;       // decoded photo, 0 x 0 when it does not decode
    std::vector<cv::Rect> faces;
    std::optional<cv::Rect> face;                    // the one measured (the wider of two)
    double faceWidthShare = 0;                       // face width / photo width
    double centreOffset = 0;                         // (face centre - photo centre) / face width
    double faceTopShare = 0;                         // face top row / photo width
    std::optional<BackgroundColor> backgroundClass;  // the accepted class found, if any
    double backgroundCoverage = 0;  // share of the photo in the plain regions at the top
    // The caller's stop check ended the check between two stages: the
    // checks are incomplete and the file is not genuine.
    bool stopped = false;
};

// Asked between the check's costly stages (before reading the image data,
// before the face search, before the background check); true ends the check
// there with `stopped` set. A caller passes one when the answer may no longer
// be wanted (its client left, its time ran out); an empty one never stops.
using StopCheck = std::function<bool()>;

// "rule: sentence" for each failed check, in the order of the checks.
std::vector<std::string> ProblemSentences(const GenuineCheck& check);

// Checks the bytes of a file. Its structure is walked once (WalkImage), and
// a file that the checks of that walk refuse is not decoded.
GenuineCheck CheckGenuinePhoto(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                               const Settings& settings, const StopCheck& stop = {});
// The same with the walk the caller made of the bytes before the pass
// marker (all of them when it is missing).
GenuineCheck CheckGenuinePhoto(const std::string& fileBytes, const ImageStructure& imageWalk,
                               cv::CascadeClassifier& cascade, const Settings& settings,
                               const StopCheck& stop = {});

// Reads the file (at most kMaxVerifiedFileBytes; a longer one is not read)
// and checks it. A file that cannot be read, or whose check runs out of
// memory, gets an error and that as its only problem.
GenuineCheck CheckGenuinePhotoFile(const std::filesystem::path& path,
                                   cv::CascadeClassifier& cascade, const Settings& settings);

// Checks bytes received whole (an upload), reading no file: longer than
// kMaxVerifiedFileBytes, or running out of memory, gives an error and that
// as the only problem, as for a file.
GenuineCheck CheckGenuinePhotoBytes(const std::string& fileBytes, cv::CascadeClassifier& cascade,
                                    const Settings& settings, const StopCheck& stop = {});
GenuineCheck CheckGenuinePhotoBytes(const std::string& fileBytes, const ImageStructure& imageWalk,
                                    cv::CascadeClassifier& cascade, const Settings& settings,
                                    const StopCheck& stop = {});

}  // namespace quorvel
