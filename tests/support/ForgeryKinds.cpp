#include "support/ForgeryKinds.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/analysis/Background.h"
#include "core/save/SavePhoto.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace quorvel;

namespace verifytest {

namespace {

std::string Encoded(const cv::Mat& photo, const char* extension, std::vector<int> params = {}) {
    std::vector<uchar> bytes;
    if (!cv::imencode(extension, photo, bytes, params)) return {};
    return std::string(bytes.begin(), bytes.end());
}

std::string Marker() {
    const auto marker = MakePassMarker();
    return std::string(marker.begin(), marker.end());
}

std::string Big16(std::size_t n) {
    return {static_cast<char>((n >> 8) & 0xFF), static_cast<char>(n & 0xFF)};
}

std::string Big32(std::uint32_t n) {
    return {static_cast<char>(n >> 24), static_cast<char>((n >> 16) & 0xFF),
            static_cast<char>((n >> 8) & 0xFF), static_cast<char>(n & 0xFF)};
}

std::uint32_t Crc32(const std::string& data) {
    std::uint32_t c = 0xFFFFFFFFU;
    for (char ch : data) {
        c ^= static_cast<std::uint8_t>(ch);
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFU;
}

std::string PngChunk(const std::string& type, const std::string& data) {
    return Big32(static_cast<std::uint32_t>(data.size())) + type + data + Big32(Crc32(type + data));
}

// A JPEG segment with its marker and length.
std::string Segment(std::uint8_t marker, const std::string& payload) {
    return std::string("\xFF") + static_cast<char>(marker) + Big16(payload.size() + 2) + payload;
}

// Offsets of a genuine save's parts: where the JPEG scan data starts, where
// the PNG's first IDAT starts.
std::size_t ScanStart(const std::string& jpeg) {
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        const std::size_t length = (static_cast<std::uint8_t>(jpeg[pos + 2]) << 8) |
                                   static_cast<std::uint8_t>(jpeg[pos + 3]);
        const bool scan = static_cast<std::uint8_t>(jpeg[pos + 1]) == 0xDA;
        pos += 2 + length;
        if (scan) return pos;
    }
    return jpeg.size();
}

// The IDAT chunks' data of a PNG, joined.
std::string PngImageData(const std::string& png) {
    std::string data;
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        const std::uint32_t length = (static_cast<std::uint8_t>(png[pos]) << 24) |
                                     (static_cast<std::uint8_t>(png[pos + 1]) << 16) |
                                     (static_cast<std::uint8_t>(png[pos + 2]) << 8) |
                                     static_cast<std::uint8_t>(png[pos + 3]);
        if (png.compare(pos + 4, 4, "IDAT") == 0) data += png.substr(pos + 8, length);
        pos += 12 + length;
    }
    return data;
}

// An APNG of the save whose second frame, shown by browsers, is `other`.
std::string Animated(const std::string& png, const std::string& other, const cv::Size& size) {
    const std::string ihdr = png.substr(0, 8 + 25);
    auto frame = [&](std::uint32_t sequence) {
        return Big32(sequence) + Big32(static_cast<std::uint32_t>(size.width)) +
               Big32(static_cast<std::uint32_t>(size.height)) + Big32(0) + Big32(0) +
               std::string("\0\x01\0\x01\0\0", 6);
    };
    return ihdr + PngChunk("acTL", Big32(2) + Big32(0)) + PngChunk("fcTL", frame(0)) +
           png.substr(33, png.size() - 33 - 12) + PngChunk("fcTL", frame(1)) +
           PngChunk("fdAT", Big32(2) + PngImageData(other)) + png.substr(png.size() - 12);
}

// EXIF with only an orientation tag (6: turn 90 degrees clockwise to show).
std::string ExifOrientation(int orientation) {
    const std::string tiff = std::string("MM\0*\0\0\0\x08", 8) + Big16(1) + Big16(0x0112) +
                             Big16(3) + Big32(1) + Big16(static_cast<std::size_t>(orientation)) +
                             Big16(0) + Big32(0);
    return Segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

// The save's header with the frame's size changed, a few scan bytes and
// the end of image: a few hundred bytes that claim a huge photo.
std::string JpegBomb(const std::string& jpeg, int width, int height) {
    std::string bomb = jpeg.substr(0, ScanStart(jpeg) + 16) + "\xFF\xD9";
    const std::size_t frame = bomb.find("\xFF\xC0");
    bomb.replace(frame + 5, 4,
                 Big16(static_cast<std::size_t>(height)) + Big16(static_cast<std::size_t>(width)));
    return bomb;
}

}  // namespace

std::vector<Forgery> BuildFileForgeries(const fs::path& dir,
                                        const std::vector<SavedGenuine>& genuine) {
    std::vector<Forgery> forged;
    cv::RNG rng(2525);
    int counter = 0;
    const std::string marker = Marker();
    auto forge = [&](const std::string& kind, const SavedGenuine& base, const std::string& bytes,
                     GenuineSettings settings, const char* extension) {
        if (bytes.empty()) return;
        const fs::path path = dir / ("file" + std::to_string(counter++) + extension);
        testsupport::WriteBytes(path, bytes);
        forged.push_back(
            {kind, {kind + " (" + base.file.description + ")", path, settings}, base.eval});
    };
    const cv::Mat other = cv::Mat(64, 48, CV_8UC3, cv::Scalar(40, 160, 30));
    const std::string otherJpeg = Encoded(other, ".jpg");

    for (const SavedGenuine& g : genuine) {
        const GenuineSettings settings = g.file.settings;
        if (settings.color != 3) continue;  // one base per file
        const cv::Mat& p = g.audit.processedPhoto;
        const std::string saved = testsupport::ReadBytes(g.file.path);
        const std::string image = saved.substr(0, saved.size() - kPassMarkerLength);
        const bool jpeg = g.file.path.extension() == ".jpg";
        const int size = settings.size;

        // The colour setting: a save of a plain backdrop checked with a
        // setting whose class the original's audit did not find. Not for
        // gradients or hair reaching the top: the audit's three samples mix
        // their colours, and a save of an original whose samples mixed into
        // the setting's class shows the same picture (docs/verification.md).
        const BackgroundColor found = *g.audit.trace->background->backgroundClass;
        if (g.plainBackdrop) {
            for (int setting : {0, 1, 2}) {
                if (setting == static_cast<int>(found)) continue;
                forge("colour setting bypassed (a " + std::string(NamesOf(found).en) +
                          " backdrop checked for " +
                          NamesOf(static_cast<BackgroundColor>(setting)).en + " only)",
                      g, saved, {setting, size}, jpeg ? ".jpg" : ".png");
            }
        }
        if (jpeg) {
            const std::size_t app0End = 2 + 18;
            const std::size_t scan = ScanStart(image);
            forge(
                "EXIF orientation on a save stored sideways", g,
                [&] {
                    cv::Mat sideways;
                    cv::rotate(p, sideways, cv::ROTATE_90_COUNTERCLOCKWISE);
                    const std::string s = Encoded(sideways, ".jpg", {cv::IMWRITE_JPEG_QUALITY, 50});
                    return s.substr(0, app0End) + ExifOrientation(6) + s.substr(app0End) + marker;
                }(),
                settings, ".jpg");
            forge("second picture in a JPEG APP2 segment", g,
                  image.substr(0, app0End) + Segment(0xE2, otherJpeg) + image.substr(app0End) +
                      marker,
                  settings, ".jpg");
            forge("second picture in a JPEG COM segment", g,
                  image.substr(0, app0End) + Segment(0xFE, otherJpeg) + image.substr(app0End) +
                      marker,
                  settings, ".jpg");
            // Cut inside the scan, then an end-of-image marker.
            const std::size_t cut =
                scan + static_cast<std::size_t>(rng.uniform(0.2, 0.95) *
                                                static_cast<double>(image.size() - scan));
            std::string truncated = image.substr(0, cut);
            if (static_cast<std::uint8_t>(truncated.back()) == 0xFF) truncated.pop_back();
            forge("scan cut short, end-of-image marker added", g, truncated + "\xFF\xD9" + marker,
                  settings, ".jpg");
            // A few bytes of the scan replaced (no marker made).
            std::string corrupted = image;
            for (int i = 0; i < 3; ++i) {
                const std::size_t at = static_cast<std::size_t>(
                    rng.uniform(static_cast<int>(scan) + 8, static_cast<int>(image.size()) - 8));
                if (static_cast<std::uint8_t>(corrupted[at - 1]) == 0xFF ||
                    static_cast<std::uint8_t>(corrupted[at]) == 0xFF) {
                    continue;
                }
                corrupted[at] = static_cast<char>(rng.uniform(0, 255));
            }
            forge("corrupted scan", g, corrupted + marker, settings, ".jpg");
            forge("header claiming 20000 x 20000 pixels", g, JpegBomb(image, 20000, 20000) + marker,
                  settings, ".jpg");
        } else {
            cv::Mat repainted;
            cv::cvtColor(p, repainted, cv::COLOR_BGR2GRAY);
            cv::cvtColor(repainted, repainted, cv::COLOR_GRAY2BGR);
            forge("APNG frame holding another picture", g,
                  Animated(image, Encoded(repainted, ".png"), p.size()) + marker, settings, ".png");
            // The pixels are the save's; only the alpha hides the face.
            cv::Mat alpha(p.size(), CV_8UC1, cv::Scalar(255));
            cv::ellipse(alpha, cv::Point(p.cols / 2, p.rows / 2), cv::Size(p.cols / 3, p.rows / 4),
                        0, 0, 360, cv::Scalar(0), cv::FILLED);
            cv::Mat channels[4];
            cv::split(p, channels);
            channels[3] = alpha;
            cv::Mat transparent;
            cv::merge(channels, 4, transparent);
            forge("alpha hiding the face", g, Encoded(transparent, ".png") + marker, settings,
                  ".png");
            forge("second picture in a PNG ancillary chunk", g,
                  image.substr(0, 33) + PngChunk("thMb", otherJpeg) + image.substr(33) + marker,
                  settings, ".png");
            // A BMP whose stated length takes in a second picture.
            std::string bmp = Encoded(p, ".bmp") + otherJpeg;
            const auto length = static_cast<std::uint32_t>(bmp.size());
            for (int i = 0; i < 4; ++i) bmp[2 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
            forge("second picture within a BMP's stated length", g, bmp + marker, settings, ".bmp");
            // Other formats, one a second page.
            const fs::path tiff = dir / ("pages" + std::to_string(counter) + ".tiff");
            if (cv::imwritemulti(tiff.string(), std::vector<cv::Mat>{p, other})) {
                forge("TIFF with a second page", g, testsupport::ReadBytes(tiff) + marker, settings,
                      ".tiff");
            }
            for (const char* ext : {".tiff", ".ppm", ".webp", ".jp2"}) {
                forge(std::string(ext + 1) + " file", g, Encoded(p, ext) + marker, settings, ext);
            }
            forge("header claiming 20000 x 20000 pixels", g,
                  std::string(image.substr(0, 8)) +
                      PngChunk("IHDR",
                               Big32(20000) + Big32(20000) + std::string("\x08\x02\0\0\0", 5)) +
                      PngChunk("IDAT", PngImageData(image).substr(0, 200)) +
                      image.substr(image.size() - 12) + marker,
                  settings, ".png");
        }
    }
    return forged;
}

}  // namespace verifytest
