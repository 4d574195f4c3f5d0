#include "support/VariedSet.h"

#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/audit/Auditor.h"
#include "core/audit/FaceDetect.h"
#include "core/save/SavePhoto.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace quorvel;

namespace verifytest {

namespace {

const cv::Size kCanvas(480, 640);

// A colour from hue (degrees), saturation and value (0..1), blue-green-red.
cv::Scalar Hsv(double hue, double saturation, double value) {
    cv::Mat3f one(1, 1,
                  cv::Vec3f(static_cast<float>(hue), static_cast<float>(saturation),
                            static_cast<float>(value)));
    cv::Mat3f bgr;
    cv::cvtColor(one, bgr, cv::COLOR_HSV2BGR);
    const cv::Vec3f c = bgr(0, 0);
    return cv::Scalar(c[0] * 255, c[1] * 255, c[2] * 255);
}

cv::Scalar Rgb(int r, int g, int b) { return cv::Scalar(b, g, r); }

// The blue fixture's person (head and shoulders), its mask and its face.
struct Person {
    cv::Mat photo;
    cv::Mat mask;  // 255 on the person
    cv::Rect face;
};

const Person& FixturePerson() {
    static const Person person = [] {
        Person p;
        p.photo = testsupport::LoadFixture("id_blue.jpg");
        cv::Mat background = cv::Mat::zeros(p.photo.rows + 2, p.photo.cols + 2, CV_8UC1);
        const int flags = 4 | (255 << 8) | cv::FLOODFILL_FIXED_RANGE | cv::FLOODFILL_MASK_ONLY;
        for (const cv::Point seed :
             {cv::Point(5, 5), cv::Point(p.photo.cols - 5, 5), cv::Point(5, p.photo.rows / 2),
              cv::Point(p.photo.cols - 5, p.photo.rows / 2)}) {
            cv::Mat image = p.photo.clone();
            cv::floodFill(image, background, seed, cv::Scalar(), nullptr, cv::Scalar::all(40),
                          cv::Scalar::all(40), flags);
        }
        p.mask = background(cv::Rect(1, 1, p.photo.cols, p.photo.rows)) == 0;
        p.face = *ChooseFace(FindFaces(testsupport::Cascade(), p.photo));
        return p;
    }();
    return person;
}

cv::Mat Plain(const cv::Scalar& colour) { return cv::Mat(kCanvas, CV_8UC3, colour); }

// From colour a to colour b, left to right (or top to bottom).
cv::Mat Gradient(const cv::Scalar& a, const cv::Scalar& b, bool vertical) {
    cv::Mat out(kCanvas, CV_8UC3);
    const int n = vertical ? kCanvas.height : kCanvas.width;
    for (int y = 0; y < kCanvas.height; ++y) {
        for (int x = 0; x < kCanvas.width; ++x) {
            const double f = static_cast<double>(vertical ? y : x) / (n - 1);
            out.at<cv::Vec3b>(y, x) = cv::Vec3b(cv::saturate_cast<uchar>(a[0] + (b[0] - a[0]) * f),
                                                cv::saturate_cast<uchar>(a[1] + (b[1] - a[1]) * f),
                                                cv::saturate_cast<uchar>(a[2] + (b[2] - a[2]) * f));
        }
    }
    return out;
}

// Camera-like grain.
cv::Mat Grain(cv::Mat photo, cv::RNG& rng) {
    cv::Mat noise(photo.size(), CV_16SC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, 2);
    cv::Mat wide;
    photo.convertTo(wide, CV_16SC3);
    wide += noise;
    wide.convertTo(photo, CV_8UC3);
    return photo;
}

enum class Hair { None, Wide, OneSide };

// The person scaled by `scale`, standing on the bottom edge, `dx` off the
// middle, with hair drawn behind the head; `cropTop` rows cut off the top.
cv::Mat Compose(cv::Mat backdrop, double scale, int dx, int cropTop, Hair hair) {
    const Person& person = FixturePerson();
    cv::Mat photo, mask;
    cv::resize(person.photo, photo, {}, scale, scale, cv::INTER_AREA);
    cv::resize(person.mask, mask, {}, scale, scale, cv::INTER_NEAREST);
    const cv::Point at((kCanvas.width - photo.cols) / 2 + dx, kCanvas.height - photo.rows);
    const double fw = person.face.width * scale;
    const cv::Point faceTop(
        at.x + static_cast<int>((person.face.x + person.face.width / 2.0) * scale),
        at.y + static_cast<int>(person.face.y * scale));
    const cv::Scalar brown = Rgb(58, 40, 30);
    if (hair == Hair::Wide) {
        cv::ellipse(backdrop, faceTop + cv::Point(0, static_cast<int>(0.3 * fw)),
                    cv::Size(static_cast<int>(1.25 * fw), static_cast<int>(1.05 * fw)), 0, 0, 360,
                    brown, cv::FILLED);
    } else if (hair == Hair::OneSide) {
        cv::ellipse(backdrop,
                    faceTop + cv::Point(static_cast<int>(0.5 * fw), static_cast<int>(0.2 * fw)),
                    cv::Size(static_cast<int>(1.1 * fw), static_cast<int>(0.9 * fw)), 0, 0, 360,
                    brown, cv::FILLED);
    }
    const cv::Rect inside = cv::Rect(at, photo.size()) & cv::Rect(cv::Point(), kCanvas);
    photo(inside - at).copyTo(backdrop(inside), mask(inside - at));
    return backdrop(cv::Rect(0, cropTop, kCanvas.width, kCanvas.height - cropTop)).clone();
}

struct Original {
    std::string name;
    cv::Mat photo;
    bool plain = true;
};

// The blue fixture itself enlarged and cut to the canvas around the face,
// the person's top `lower` rows below the top edge: the fixture's blue shows
// only as a band along the top, the portrait's own dark room beside the head.
std::vector<Original> TightCropOriginals() {
    const Person& person = FixturePerson();
    const cv::Mat column = person.mask.colRange(person.face.x, person.face.br().x);
    int personTop = 0;
    while (personTop < column.rows && cv::countNonZero(column.row(personTop)) == 0) ++personTop;
    cv::RNG rng(25);
    std::vector<Original> originals;
    for (double scale : {1.3, 1.45, 1.6, 1.75, 1.9}) {
        cv::Mat big;
        cv::resize(person.photo, big, {}, scale, scale, cv::INTER_CUBIC);
        const int centre = static_cast<int>((person.face.x + person.face.width / 2.0) * scale);
        const int x = std::clamp(centre - kCanvas.width / 2, 0, big.cols - kCanvas.width);
        for (int lower : {0, 40, 80}) {
            const int y = std::clamp(static_cast<int>(personTop * scale) - lower, 0,
                                     big.rows - kCanvas.height);
            originals.push_back({"tight crop, scale " + cv::format("%.2f", scale) + ", top " +
                                     std::to_string(lower) + " rows down",
                                 Grain(big(cv::Rect(cv::Point(x, y), kCanvas)).clone(), rng),
                                 false});
        }
    }
    return originals;
}

std::vector<Original> Originals() {
    struct Backdrop {
        const char* name;
        cv::Mat photo;
        Hair hair;
        bool plain = true;  // one colour along the top, no gradient
    };
    const cv::Scalar blue = Rgb(60, 130, 220);
    cv::Mat band = Plain(blue);
    band(cv::Rect(0, 0, kCanvas.width, 4)).setTo(Rgb(70, 70, 70));
    const std::vector<Backdrop> backdrops = {
        {"plain blue", Plain(blue), Hair::None},
        {"plain red", Plain(Rgb(200, 40, 40)), Hair::None},
        {"plain white", Plain(Rgb(245, 245, 245)), Hair::None},
        {"near-white with a blue tint", Plain(Rgb(226, 234, 250)), Hair::None},
        {"white to blue, corners 79 apart", Gradient(Rgb(250, 250, 250), Rgb(171, 195, 250), false),
         Hair::None, false},
        {"blue to white, corners 79 apart", Gradient(Rgb(171, 195, 250), Rgb(250, 250, 250), false),
         Hair::None, false},
        {"white to light blue, white mean", Gradient(Rgb(252, 252, 252), Rgb(205, 220, 252), false),
         Hair::None, false},
        {"light to dark blue, top to bottom",
         Gradient(Rgb(225, 235, 252), Rgb(120, 150, 210), true), Hair::None, false},
        {"blue at hue 181", Plain(Hsv(181.5, 0.6, 0.85)), Hair::None},
        {"blue at hue 259", Plain(Hsv(258.5, 0.6, 0.85)), Hair::None},
        {"red at hue 331", Plain(Hsv(331.5, 0.7, 0.8)), Hair::None},
        {"red at hue 29", Plain(Hsv(28.5, 0.7, 0.8)), Hair::None},
        {"white at value 0.91, saturation 0.12", Plain(Hsv(215, 0.12, 0.915)), Hair::None},
        {"grey white at 231", Plain(Rgb(231, 231, 231)), Hair::None},
        {"dark blue at value 0.15", Plain(Hsv(220, 0.8, 0.15)), Hair::None},
        {"darker grey-blue", Plain(Hsv(212, 0.25, 0.45)), Hair::None},
        {"thin dark band along the top", band, Hair::None},
        // Hair reaching the top: the top is not one colour (see ForgeryKinds).
        {"white with wide hair", Plain(Rgb(245, 245, 245)), Hair::Wide, false},
        {"blue with hair to one side", Plain(blue), Hair::OneSide},
    };
    struct Place {
        double scale;
        int dx;
        int cropTop;
    };
    // Faces across the accepted range, off the middle, and with little
    // head-room (the second pass of size mode 1).
    const std::vector<Place> places = {{1.0, 0, 0},   {0.75, 30, 0}, {1.2, -20, 0},  {0.6, 0, 0},
                                       {0.9, -60, 0}, {1.35, 0, 40}, {1.0, 0, 150},  {0.8, 40, 200},
                                       {0.45, 0, 0},  {0.38, 20, 0}, {0.5, -40, 100}};
    cv::RNG rng(16);
    std::vector<Original> originals;
    for (std::size_t i = 0; i < backdrops.size(); ++i) {
        const Backdrop& b = backdrops[i];
        // Every backdrop at the fixture's own place and one other; plain
        // blue at every place.
        std::vector<std::size_t> chosen = {0, 1 + i % (places.size() - 1)};
        if (i == 0) {
            chosen.clear();
            for (std::size_t p = 0; p < places.size(); ++p) chosen.push_back(p);
        }
        for (std::size_t p : chosen) {
            const Place& place = places[p];
            originals.push_back(
                {std::string(b.name) + ", scale " + cv::format("%.2f", place.scale) + ", dx " +
                     std::to_string(place.dx) + ", top cut " + std::to_string(place.cropTop),
                 Grain(Compose(b.photo.clone(), place.scale, place.dx, place.cropTop, b.hair), rng),
                 b.plain});
        }
    }
    return originals;
}

void Save(const cv::Mat& photo, const fs::path& path) {
    if (!testsupport::Save(photo, path).ok) throw std::runtime_error(path.string());
}

}  // namespace

namespace {

// Every pass of the originals in both size modes, saved as JPEG and PNG and
// checked with colour 3 and with the class the audit found; every other
// original in the evaluation half. `prefix` keeps the sets' files apart.
std::vector<SavedGenuine> AuditAndSave(const fs::path& dir, const std::string& prefix,
                                       const std::vector<Original>& originals) {
    std::vector<SavedGenuine> genuine;
    int counter = 0;
    int index = 0;
    for (const Original& original : originals) {
        const bool eval = index++ % 2 == 1;
        const fs::path input = dir / (prefix + "original" + std::to_string(counter++) + ".jpg");
        cv::imwrite(input.string(), original.photo, {cv::IMWRITE_JPEG_QUALITY, 95});
        for (int size : {1, 2}) {
            Auditor auditor(testsupport::Cascade(), GenuineSettings{3, size});
            AuditReport audit = auditor.Audit(input, Trace::On);
            if (audit.verdict != Verdict::Passed) continue;
            const int found = static_cast<int>(*audit.trace->background->backgroundClass);
            for (const char* ext : {"jpg", "png"}) {
                const fs::path path =
                    dir / (prefix + "saved" + std::to_string(counter++) + "." + ext);
                Save(audit.processedPhoto, path);
                const std::string label =
                    original.name + ", size " + std::to_string(size) + " as " + ext;
                genuine.push_back({{label, path, {3, size}}, audit, original.plain, eval});
                genuine.push_back(
                    {{label + ", colour " + std::to_string(found), path, {found, size}},
                     audit,
                     original.plain,
                     eval});
            }
        }
    }
    return genuine;
}

}  // namespace

std::vector<SavedGenuine> BuildVariedGenuine(const fs::path& dir) {
    return AuditAndSave(dir, "", Originals());
}

std::vector<SavedGenuine> BuildTightCrops(const fs::path& dir) {
    return AuditAndSave(dir, "tight-", TightCropOriginals());
}

namespace {

// The processed photo's background: what a fill from the top corners and
// the sides reaches.
cv::Mat BackgroundMask(const cv::Mat& photo) {
    cv::Mat mask = cv::Mat::zeros(photo.rows + 2, photo.cols + 2, CV_8UC1);
    const int flags = 4 | (255 << 8) | cv::FLOODFILL_FIXED_RANGE | cv::FLOODFILL_MASK_ONLY;
    for (const cv::Point seed :
         {cv::Point(2, 2), cv::Point(photo.cols - 3, 2), cv::Point(2, photo.rows / 3),
          cv::Point(photo.cols - 3, photo.rows / 3)}) {
        cv::Mat image = photo.clone();
        cv::floodFill(image, mask, seed, cv::Scalar(), nullptr, cv::Scalar::all(35),
                      cv::Scalar::all(35), flags);
    }
    return mask(cv::Rect(1, 1, photo.cols, photo.rows)).clone();
}

cv::Mat Repainted(const cv::Mat& photo, const cv::Scalar& colour, cv::RNG& rng) {
    cv::Mat out = photo.clone();
    out.setTo(colour, BackgroundMask(photo));
    return Grain(out, rng);
}

// A crop around `face` shaped as the crop search shapes it (about twice the
// face wide, the face's top a face width down), scaled to a valid width.
cv::Mat CropAround(const cv::Mat& photo, const cv::Rect& face, const SizeModeParams& mode) {
    const int width = std::min(photo.cols, face.width * 2);
    const int height = std::min(photo.rows, static_cast<int>(width * mode.aspect));
    const int x = std::clamp(face.x + face.width / 2 - width / 2, 0, photo.cols - width);
    const int y = std::clamp(face.y - face.width, 0, photo.rows - height);
    cv::Mat out;
    const int outWidth = std::clamp(width, mode.narrowWidth, mode.wideWidth);
    cv::resize(photo(cv::Rect(x, y, width, height)), out,
               cv::Size(outWidth, static_cast<int>(outWidth * mode.aspect)), 0, 0, cv::INTER_AREA);
    return out;
}

// Several people before a cluttered wall.
cv::Mat Crowd(cv::RNG& rng) {
    cv::Mat scene(kCanvas, CV_8UC3);
    rng.fill(scene, cv::RNG::UNIFORM, 0, 255);
    for (int i = 0; i < 60; ++i) {
        const cv::Point a(rng.uniform(0, kCanvas.width), rng.uniform(0, kCanvas.height));
        cv::rectangle(scene, a, a + cv::Point(rng.uniform(10, 120), rng.uniform(10, 120)),
                      cv::Scalar(rng.uniform(0, 255), rng.uniform(0, 255), rng.uniform(0, 255)),
                      cv::FILLED);
    }
    const Person& person = FixturePerson();
    cv::Mat photo, mask;
    cv::resize(person.photo, photo, {}, 0.45, 0.45, cv::INTER_AREA);
    cv::resize(person.mask, mask, {}, 0.45, 0.45, cv::INTER_NEAREST);
    for (int i = 0; i < 3; ++i) {
        const cv::Rect at(i * kCanvas.width / 3 - 20, kCanvas.height - photo.rows, photo.cols,
                          photo.rows);
        const cv::Rect inside = at & cv::Rect(cv::Point(), kCanvas);
        photo(inside - at.tl()).copyTo(scene(inside), mask(inside - at.tl()));
    }
    cv::GaussianBlur(scene, scene, cv::Size(3, 3), 0);
    return scene;
}

}  // namespace

std::vector<Forgery> BuildForgeries(const fs::path& dir, const std::vector<SavedGenuine>& genuine) {
    std::vector<Forgery> forged;
    cv::RNG rng(1616);
    int counter = 0;
    bool eval = false;
    auto forge = [&](const std::string& kind, const std::string& base, const cv::Mat& photo,
                     GenuineSettings settings) {
        const fs::path path = dir / ("forged" + std::to_string(counter++) + ".jpg");
        Save(photo, path);
        forged.push_back({kind, {kind + " (" + base + ")", path, settings}, eval});
    };
    auto forgeBytes = [&](const std::string& kind, const std::string& base,
                          const std::string& bytes) {
        const fs::path path = dir / ("forged" + std::to_string(counter++) + ".jpg");
        testsupport::WriteBytes(path, bytes);
        forged.push_back({kind, {kind + " (" + base + ")", path, {3, 1}}, eval});
    };

    for (const SavedGenuine& g : genuine) {
        // One base per plain backdrop, size mode and place: its JPEG checked with colour 3.
        const std::string& name = g.file.description;
        if (name.rfind("plain", 0) != 0 || name.find("as jpg") == std::string::npos ||
            g.file.settings.color != 3) {
            continue;
        }
        const cv::Mat& p = g.audit.processedPhoto;
        const int size = g.file.settings.size;
        eval = g.eval;
        forge("repainted grey 222, white only", name, Repainted(p, Rgb(222, 222, 222), rng),
              {0, size});
        forge("repainted violet (hue 266), blue only", name, Repainted(p, Hsv(266, 0.6, 0.85), rng),
              {2, size});
        forge("repainted cyan (hue 173)", name, Repainted(p, Hsv(173, 0.6, 0.85), rng), {3, size});
        forge("repainted orange (hue 35), red only", name, Repainted(p, Hsv(35, 0.8, 0.9), rng),
              {1, size});
        forge("repainted very dark blue (value 0.10)", name, Repainted(p, Hsv(225, 0.8, 0.10), rng),
              {3, size});
        cv::Mat halves = Repainted(p, Rgb(200, 40, 40), rng);
        const cv::Rect leftHalf(0, 0, p.cols / 2, p.rows);
        cv::Mat blueLeft = Repainted(p, Rgb(60, 130, 220), rng);
        blueLeft(leftHalf).copyTo(halves(leftHalf));
        forge("blue wall left of the head, red wall right of it", name, halves, {3, size});
        cv::Mat banded = Repainted(p, Hsv(120, 0.6, 0.7), rng);
        banded(cv::Rect(0, 0, p.cols, p.rows / 30)).setTo(Rgb(245, 245, 245));
        forge("green under a white band along the top", name, banded, {3, size});

        const std::string saved = testsupport::ReadBytes(g.file.path);
        const std::string image = saved.substr(0, saved.size() - kPassMarkerLength);
        const std::string marker = saved.substr(saved.size() - kPassMarkerLength);
        std::vector<uchar> second;
        cv::imencode(".jpg", cv::Mat(16, 16, CV_8UC3, cv::Scalar(0, 0, 255)), second);
        forgeBytes("second JPEG between image and marker", name,
                   image + std::string(second.begin(), second.end()) + marker);
        forgeBytes("text ending in FF D9 between image and marker", name,
                   image + "see the attached photo\xFF\xD9" + marker);
        std::vector<uchar> requality;
        cv::imencode(".jpg", p, requality, {cv::IMWRITE_JPEG_QUALITY, 85});
        forgeBytes("re-encoded at JPEG quality 85", name,
                   std::string(requality.begin(), requality.end()) + marker);
    }

    // Crowd scenes: a crop around each face found, scaled to a valid size.
    const cv::Mat group = testsupport::LoadFixture("group.jpg");
    const cv::Mat crowd = Crowd(rng);
    for (const auto& [name, scene] :
         {std::pair{"group.jpg", group}, std::pair{"cluttered crowd", crowd}}) {
        for (const cv::Rect& face : FindFaces(testsupport::Cascade(), scene)) {
            for (int size : {1, 2}) {
                const SizeModeParams mode = size == 1 ? rules::kMode1 : rules::kMode2;
                eval = size == 2;
                forge("crowd scene cropped to a valid size", name, CropAround(scene, face, mode),
                      {3, size});
            }
        }
    }
    return forged;
}

}  // namespace verifytest
