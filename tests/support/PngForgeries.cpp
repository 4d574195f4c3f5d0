#include "support/PngForgeries.h"

#include <cstdlib>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "core/save/SavePhoto.h"
#include "core/verify/PhotoChecks.h"
#include "support/PngChunks.h"
#include "support/TestSupport.h"
#include "support/Yardstick.h"

namespace fs = std::filesystem;
using namespace quorvel;
using testsupport::AssembledPng;
using testsupport::Crc32;
using testsupport::Deflated;
using testsupport::Inflated;
using Chunk = testsupport::PngChunk;
using testsupport::PngChunks;

namespace verifytest {

namespace {

const char* const kPython = "/usr/bin/python3";   // Debian's, with python3-pil
const char* const kMogrify = "/usr/bin/mogrify";  // ImageMagick (imagemagick)

std::string Marker() {
    const auto marker = MakePassMarker();
    return std::string(marker.begin(), marker.end());
}

std::string Little(std::uint32_t n, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
    return out;
}

// A photo's PNG rows: each a filter byte of 0 and its pixels, red-green-blue.
std::string Rows(const cv::Mat& photo) {
    cv::Mat rgb;
    cv::cvtColor(photo, rgb, cv::COLOR_BGR2RGB);
    std::string rows;
    for (int y = 0; y < rgb.rows; ++y) {
        rows += '\0';
        rows.append(rgb.ptr<char>(y), static_cast<std::size_t>(rgb.cols) * 3);
    }
    return rows;
}

// A ZIP of one stored file that starts at `at` in the file it will lie in,
// its comment covering the `tail` bytes that follow it there.
std::string Zip(std::uint32_t at, std::uint32_t tail) {
    const std::string name = "applicant.txt", text = "a second document inside the photo\n";
    const std::string fields = Little(0, 2) + Little(0, 2) + Little(0x21, 2) +
                               Little(Crc32(text), 4) +
                               Little(static_cast<std::uint32_t>(text.size()), 4) +
                               Little(static_cast<std::uint32_t>(text.size()), 4) +
                               Little(static_cast<std::uint32_t>(name.size()), 2) + Little(0, 2);
    const std::string local = Little(0x04034b50, 4) + Little(20, 2) + Little(0, 2) + fields + name;
    const std::string central = Little(0x02014b50, 4) + Little(20, 2) + Little(20, 2) +
                                Little(0, 2) + fields + Little(0, 2) + Little(0, 2) + Little(0, 2) +
                                Little(0, 4) + Little(at, 4) + name;
    const auto centralAt = static_cast<std::uint32_t>(at + local.size() + text.size());
    const std::string end = Little(0x06054b50, 4) + Little(0, 2) + Little(0, 2) + Little(1, 2) +
                            Little(1, 2) + Little(static_cast<std::uint32_t>(central.size()), 4) +
                            Little(centralAt, 4) + Little(tail, 2);
    return local + text + central + end;
}

std::size_t LastIdat(const std::vector<Chunk>& chunks) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].type == "IDAT") last = i;
    }
    return last;
}

// The save with `payload` after the compressed stream in its last IDAT.
std::string InLastIdat(std::vector<Chunk> chunks, const std::string& payload) {
    chunks[LastIdat(chunks)].data += payload;
    return AssembledPng(chunks);
}

// The save with an IDAT chunk of its own holding `payload` after the others.
std::string InIdatOfItsOwn(std::vector<Chunk> chunks, const std::string& payload) {
    chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(LastIdat(chunks)) + 1,
                  Chunk{"IDAT", payload});
    return AssembledPng(chunks);
}

std::string WithZip(const std::vector<Chunk>& chunks) {
    std::vector<Chunk> before(chunks.begin(),
                              chunks.begin() + static_cast<std::ptrdiff_t>(LastIdat(chunks) + 1));
    const std::string prefix = AssembledPng(before);
    const auto zipAt = static_cast<std::uint32_t>(prefix.size() - 4);  // before the IDAT's CRC
    // The file's tail after the ZIP: the IDAT's CRC, IEND and the marker.
    const auto tail = static_cast<std::uint32_t>(4 + 12 + kPassMarkerLength);
    return InLastIdat(chunks, Zip(zipAt, tail));
}

std::string Html() {
    return "<!DOCTYPE html><html><head><title>Applicant</title></head><body>"
           "<p>Registration approved.</p><script>document.location='https://example.org/'"
           "</script></body></html>\n";
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

}  // namespace

std::vector<Forgery> BuildPngForgeries(const fs::path& dir,
                                       const std::vector<SavedGenuine>& genuine) {
    std::vector<Forgery> forged;
    const std::string marker = Marker();
    const fs::path pixels = dir / "png-pixels", magick = dir / "png-magick";
    fs::create_directories(pixels);
    fs::create_directories(magick);
    const cv::Mat person = testsupport::LoadFixture("portrait.jpg");
    std::ofstream jobs(dir / "pil-jobs.txt");
    std::string mogrify = std::string(kMogrify) + " -path " + magick.string() + " -strip";
    struct Pending {
        std::string kind;
        const SavedGenuine* base;
        fs::path written;
    };
    std::vector<Pending> pending;
    int counter = 0;
    auto forge = [&](const std::string& kind, const SavedGenuine& g, const std::string& bytes) {
        const fs::path path = dir / ("png-forged" + std::to_string(counter++) + ".png");
        testsupport::WriteBytes(path, bytes + marker);
        forged.push_back(
            {kind, {kind + " (" + g.file.description + ")", path, g.file.settings}, g.eval});
    };
    for (const SavedGenuine& g : genuine) {
        if (g.file.settings.color != 3 || g.file.path.extension() != ".png") continue;
        const cv::Mat& p = g.audit.processedPhoto;
        const std::string saved = testsupport::ReadBytes(g.file.path);
        const std::string image = saved.substr(0, saved.size() - kPassMarkerLength);
        const std::vector<Chunk> chunks = PngChunks(image);
        cv::Mat other, small;
        cv::resize(person, other, p.size(), 0, 0, cv::INTER_AREA);
        cv::resize(person, small, {}, 0.5, 0.5, cv::INTER_AREA);
        std::vector<uchar> jpeg;
        cv::imencode(".jpg", small, jpeg, {cv::IMWRITE_JPEG_QUALITY, 80});

        forge("ZIP inside the PNG image data, listed by unzip", g, WithZip(chunks));
        forge("JPEG of another person inside the PNG image data", g,
              InLastIdat(chunks, std::string(jpeg.begin(), jpeg.end())));
        forge("HTML page in an IDAT chunk of its own", g, InIdatOfItsOwn(chunks, Html()));
        forge("second compressed stream of another photo's rows in an IDAT chunk", g,
              InIdatOfItsOwn(chunks, Deflated(Rows(other))));
        const std::string idat = testsupport::PngImageStream(chunks);
        std::vector<Chunk> oneStream = {chunks.front()};
        oneStream.push_back({"IDAT", Deflated(Inflated(idat, Rows(p).size()) + Rows(other))});
        oneStream.push_back(chunks.back());
        forge("another photo's rows after the save's in its compressed stream", g,
              AssembledPng(oneStream));

        // The same pixels written by other encoders, made in two runs below.
        const std::string stem = "s" + std::to_string(counter++);
        const fs::path source = pixels / (stem + ".png");
        cv::imwrite(source.string(), p);
        for (const char* how : {"default", "optimised", "level 1"}) {
            const fs::path out = dir / (stem + "-pil-" + std::string(how).substr(0, 3) + ".png");
            jobs << source.string() << '\t' << out.string() << '\t' << how << '\n';
            pending.push_back({std::string("PNG written by Pillow (") + how + ")", &g, out});
        }
        mogrify += " " + source.string();
        pending.push_back({"PNG written by ImageMagick -strip", &g, magick / (stem + ".png")});
    }
    jobs.close();
    std::ofstream(dir / "pil.py") << "import sys\nfrom PIL import Image\n"
                                     "options = {'default': {}, 'optimised': {'optimize': True},"
                                     " 'level 1': {'compress_level': 1}}\n"
                                     "for line in open(sys.argv[1]):\n"
                                     "    source, out, how = line.rstrip('\\n').split('\\t')\n"
                                     "    Image.open(source).save(out, **options[how])\n";
    Run(std::string(kPython) + " " + (dir / "pil.py").string() + " " +
        (dir / "pil-jobs.txt").string());
    Run(mogrify);
    for (const Pending& p : pending) {
        if (!fs::exists(p.written)) continue;
        forge(p.kind, *p.base, testsupport::ReadBytes(p.written));
    }
    return forged;
}

std::vector<Forgery> BuildSmallFaceForgeries(const fs::path& dir,
                                             const std::vector<SavedGenuine>& genuine) {
    std::vector<Forgery> forged;
    int counter = 0;
    for (const SavedGenuine& g : genuine) {
        // One base per plain backdrop, size mode and place: its JPEG checked with colour 3.
        const std::string& name = g.file.description;
        if (name.rfind("plain", 0) != 0 || name.find("as jpg") == std::string::npos ||
            g.file.settings.color != 3) {
            continue;
        }
        const std::optional<PlacedFace> face = FacePlaced(g);
        if (!face) continue;
        const cv::Mat& p = g.audit.processedPhoto;
        const rules::SizeModeParams mode =
            g.file.settings.size == 1 ? rules::kMode1 : rules::kMode2;
        const double floor = verify_checks::FaceShareFloor(mode);
        for (int percent : {60, 70, 80}) {
            const double share = floor * percent / 100;
            const double z = share * p.cols / face->width;
            cv::Mat smaller;
            cv::resize(p, smaller, {}, z, z, cv::INTER_AREA);
            // Centred, its top where the crop puts a face of that width for
            // a head-room factor of 1.
            const double top =
                0.25 * (mode.slope * p.cols - (mode.slope - rules::kFrameTopBase) * share * p.cols);
            const int dx = static_cast<int>(p.cols / 2.0 - z * (face->x + face->width / 2));
            const int dy = static_cast<int>(top - z * face->y);
            const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, dx, 0, 1, dy);
            cv::Mat drawn;
            cv::warpAffine(smaller, drawn, shift, p.size(), cv::INTER_NEAREST,
                           cv::BORDER_REPLICATE);
            const std::string kind = "face drawn at 60 to 80 % of the face-share floor";
            const fs::path path = dir / ("small-face" + std::to_string(counter++) + ".jpg");
            if (!testsupport::Save(drawn, path).ok) continue;
            forged.push_back({kind,
                              {kind + ", " + std::to_string(percent) + " % (" + name + ")", path,
                               g.file.settings},
                              g.eval});
        }
    }
    return forged;
}

}  // namespace verifytest
