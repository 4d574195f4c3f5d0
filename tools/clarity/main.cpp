// quorvel-clarity: prints the clarity advice's figures that docs/clarity.md
// quotes. It makes the clarity set from the portraits of Debian's opencv-doc
// and the fixtures: sharp originals at several sizes, qualities, tones and
// both ways round, and of each a copy blurred by a Gaussian of sigma 2 at a
// face height of 600 pixels. The set is split by person into a tuning half,
// on which the threshold is set, and a judging half, on which it is judged.
#include <algorithm>
#include <cstdio>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/Clarity.h"
#include "core/audit/FaceDetect.h"
#include "core/rules/Rules.h"
#include "support/TestSupport.h"

namespace {

const char* const kDoc = "/usr/share/doc/opencv-doc/opencv4/html/";

// A portrait to make the set from: where it comes from, the part of it
// taken, whose face it is, which half that person is in, and whether its
// source is sharp to the eye (a soft source's originals are reported apart:
// advice for them is right).
struct Source {
    std::string file;
    cv::Rect part;  // empty: the whole picture
    std::string person;
    bool tuning;
    bool sharp;
};

const std::vector<Source>& Sources() {
    static const std::vector<Source> sources = {
        {std::string(kDoc) + "230501201_1.jpg", {}, "A", true, true},
        {testsupport::DataPath("portrait.jpg").string(), {}, "A", true, true},
        {std::string(kDoc) + "227943776_1.jpg", {}, "B", true, true},
        {testsupport::DataPath("id_blue.jpg").string(), {}, "B", true, true},
        {testsupport::DataPath("id_red.jpg").string(), {}, "B", true, true},
        {testsupport::DataPath("id_white.jpg").string(), {}, "B", true, true},
        {std::string(kDoc) + "05.jpg", {0, 0, 540, 480}, "D", true, false},
        // Its middle face carries drawn landmarks: only the outer two.
        {std::string(kDoc) + "example.jpg", {0, 0, 380, 580}, "C", false, true},
        {std::string(kDoc) + "example.jpg", {775, 0, 387, 580}, "C", false, true},
        {std::string(kDoc) + "12.jpg", {0, 20, 540, 460}, "E", false, true},
    };
    return sources;
}

struct Figures {
    std::vector<int> sharp;   // clarity of the measured sharp originals
    std::vector<int> soft;    // of the originals of a soft source
    std::vector<int> copies;  // of the blurred copies
    int unmeasured = 0;       // originals whose face is too small (or not found)
    int lost = 0;             // blurred copies whose face was not found
};

cv::Mat Encoded(const cv::Mat& photo, int quality) {
    std::vector<uchar> bytes;
    cv::imencode(".jpg", photo, bytes, {cv::IMWRITE_JPEG_QUALITY, quality});
    return cv::imdecode(bytes, cv::IMREAD_COLOR);
}

// The clarity the audit would measure on a photo: of the face it chooses.
std::optional<int> ClarityOf(const cv::Mat& photo, const cv::Rect*& face) {
    static quorvel::FaceSearch search;
    search = quorvel::DetectFace(testsupport::Cascade(), photo);
    face = search.chosen ? &*search.chosen : nullptr;
    return face != nullptr ? quorvel::MeasureClarity(photo, *face) : std::nullopt;
}

// The copy of a photo blurred by a Gaussian of sigma 2 at a face height of
// 600 pixels, saved as a JPEG of quality 95.
cv::Mat BlurredCopy(const cv::Mat& photo, const cv::Rect& face) {
    const double scale = 600.0 / face.height;
    cv::Mat copy;
    cv::resize(photo, copy, {}, scale, scale, scale > 1 ? cv::INTER_CUBIC : cv::INTER_AREA);
    cv::GaussianBlur(copy, copy, {0, 0}, 2.0);
    return Encoded(copy, 95);
}

// The originals made from one source: sizes down to the face's measured
// side, two JPEG qualities, three tones, both ways round.
void AddSource(const Source& source, Figures& figures) {
    cv::Mat picture = cv::imread(source.file, cv::IMREAD_COLOR);
    if (picture.empty()) {
        std::printf("missing: %s\n", source.file.c_str());
        return;
    }
    if (!source.part.empty()) picture = picture(source.part).clone();
    for (const double size : {1.0, 0.9, 0.8, 0.7}) {
        cv::Mat sized;
        cv::resize(picture, sized, {}, size, size, cv::INTER_AREA);
        for (const int quality : {95, 70}) {
            for (const int tone : {0, 1, 2}) {
                for (const bool mirrored : {false, true}) {
                    cv::Mat photo = sized.clone();
                    if (tone == 1) photo.convertTo(photo, -1, 0.7, 38);  // less contrast
                    if (tone == 2) photo.convertTo(photo, -1, 1.0, 25);  // brighter
                    if (mirrored) cv::flip(photo, photo, 1);
                    photo = Encoded(photo, quality);
                    const cv::Rect* face = nullptr;
                    const std::optional<int> clarity = ClarityOf(photo, face);
                    if (clarity) {
                        (source.sharp ? figures.sharp : figures.soft).push_back(*clarity);
                    } else {
                        ++figures.unmeasured;
                    }
                    if (face == nullptr) continue;
                    const cv::Mat copy = BlurredCopy(photo, *face);
                    const cv::Rect* copyFace = nullptr;
                    const std::optional<int> blurred = ClarityOf(copy, copyFace);
                    if (blurred) {
                        figures.copies.push_back(*blurred);
                    } else {
                        ++figures.lost;
                    }
                }
            }
        }
    }
}

int Below(const std::vector<int>& values, int threshold) {
    return static_cast<int>(
        std::count_if(values.begin(), values.end(), [threshold](int v) { return v < threshold; }));
}

std::string Tenths(int value) {
    return std::to_string(value / 10) + "." + std::to_string(value % 10);
}

void Print(const char* half, const Figures& f, int threshold) {
    auto range = [](const std::vector<int>& v) {
        if (v.empty()) return std::string("-");
        const auto [low, high] = std::minmax_element(v.begin(), v.end());
        return Tenths(*low) + " to " + Tenths(*high);
    };
    auto rate = [](int part, std::size_t whole) {
        return whole == 0 ? 0.0 : 100.0 * part / static_cast<double>(whole);
    };
    std::printf("%s half:\n", half);
    std::printf("  sharp originals measured %zu, flagged %d (%.1f %%), clarity %s\n",
                f.sharp.size(), Below(f.sharp, threshold),
                rate(Below(f.sharp, threshold), f.sharp.size()), range(f.sharp).c_str());
    std::printf("  blurred copies measured %zu, flagged %d (%.1f %%), clarity %s\n",
                f.copies.size(), Below(f.copies, threshold),
                rate(Below(f.copies, threshold), f.copies.size()), range(f.copies).c_str());
    std::printf("  soft source's originals %zu, flagged %d, clarity %s\n", f.soft.size(),
                Below(f.soft, threshold), range(f.soft).c_str());
    std::printf(
        "  originals not measured (face under %d px or not found) %d; copies without a face %d\n",
        quorvel::rules::kClaritySide, f.unmeasured, f.lost);
}

}  // namespace

int main() {
    std::map<bool, Figures> halves;  // true: tuning
    for (const Source& source : Sources()) AddSource(source, halves[source.tuning]);
    const Figures& tuning = halves[true];
    if (tuning.sharp.empty() || tuning.copies.empty()) {
        std::printf("the tuning half has no measured photos (is opencv-doc installed?)\n");
        return 1;
    }
    // Halfway between the clearest blurred copy and the least clear sharp
    // original of the tuning half, in whole units.
    const int clearestCopy = *std::max_element(tuning.copies.begin(), tuning.copies.end());
    const int leastSharp = *std::min_element(tuning.sharp.begin(), tuning.sharp.end());
    const int threshold = (clearestCopy + leastSharp) / 20 * 10;
    std::printf("threshold from the tuning half: %s (in force: %s)\n", Tenths(threshold).c_str(),
                Tenths(quorvel::rules::kMinClarityTenths).c_str());
    Print("tuning (persons A, B, D)", tuning, quorvel::rules::kMinClarityTenths);
    Print("judging (persons C, E)", halves[false], quorvel::rules::kMinClarityTenths);
    return 0;
}
