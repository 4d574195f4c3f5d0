#include "core/verify/SaveStructure.h"

#include <cstring>
#include <opencv2/core.hpp>
#include <vector>

#include "core/save/SavePhoto.h"

namespace quorvel {

namespace {

std::uint8_t At(std::string_view bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

std::string Offset(std::size_t offset) { return "offset " + std::to_string(offset); }

std::string Hex(std::uint8_t byte) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[byte >> 4], digits[byte & 15]};
}

// The bytes the save writes for a photo of this size in this format (the
// pixels are irrelevant to what is compared).
std::string SavedSample(const char* extension, int width, int height) {
    const cv::Mat sample(height, width, CV_8UC3, cv::Scalar(200, 120, 40));
    const Result<std::vector<uchar>> bytes =
        EncodeForSave(sample, std::string("sample") + extension);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// ---- JPEG -------------------------------------------------------------------

std::string MarkerName(std::uint8_t marker) {
    switch (marker) {
        case 0xC0:
            return "baseline frame (SOF0)";
        case 0xC2:
            return "progressive frame (SOF2)";
        case 0xC4:
            return "Huffman table (DHT)";
        case 0xD8:
            return "start-of-image marker";
        case 0xD9:
            return "end-of-image marker";
        case 0xDA:
            return "start of scan (SOS)";
        case 0xDB:
            return "quantisation table (DQT)";
        case 0xDD:
            return "restart interval (DRI)";
        case 0xE0:
            return "APP0 segment";
        case 0xE1:
            return "APP1 segment (EXIF or XMP)";
        case 0xFE:
            return "comment (COM)";
        default:
            break;
    }
    if (marker >= 0xC0 && marker <= 0xCF) return "frame or table FF " + Hex(marker);
    if (marker >= 0xD0 && marker <= 0xD7) return "restart marker";
    if (marker >= 0xE0 && marker <= 0xEF) return "APP" + std::to_string(marker - 0xE0) + " segment";
    return "marker FF " + Hex(marker);
}

// The segments after the start of image up to and including the first start
// of scan, as the walk found them.
std::vector<JpegSegment> HeaderSegments(const ImageStructure& walk) {
    std::vector<JpegSegment> segments;
    for (const JpegSegment& segment : walk.segments) {
        segments.push_back(segment);
        if (segment.marker == 0xDA) break;
    }
    return segments;
}

struct JpegSample {
    std::string header;      // start of image to the end of the start-of-scan segment
    std::size_t sizeAt = 0;  // offset of the frame's height (then width), two bytes each
    std::vector<JpegSegment> segments;
};

const JpegSample& SavedJpeg() {
    static const JpegSample sample = [] {
        JpegSample s;
        const std::string bytes = SavedSample(".jpg", 16, 16);
        s.segments = HeaderSegments(WalkImage(bytes));
        for (const JpegSegment& segment : s.segments) {
            if (segment.marker == 0xC0) s.sizeAt = segment.offset + 5;
        }
        if (!s.segments.empty()) s.header = bytes.substr(0, s.segments.back().end);
        return s;
    }();
    return sample;
}

std::string JpegHeaderDifference(std::string_view image, const ImageStructure& walk,
                                 const std::string& expected) {
    const std::vector<JpegSegment>& saved = SavedJpeg().segments;
    const std::vector<JpegSegment> found = HeaderSegments(walk);
    for (std::size_t i = 0; i < saved.size(); ++i) {
        const std::string what = "where the save writes its " + MarkerName(saved[i].marker);
        if (i >= found.size()) return "the JPEG's segments end or break off " + what;
        const JpegSegment& f = found[i];
        if (f.marker != saved[i].marker) {
            return "the JPEG has a " + MarkerName(f.marker) + " at " + Offset(f.offset) + " " +
                   what;
        }
        const auto at = static_cast<std::size_t>(f.offset);
        const auto length = static_cast<std::size_t>(f.end - f.offset);
        if (f.end != saved[i].end ||
            image.substr(at, length) != std::string_view(expected).substr(at, length)) {
            return "the JPEG's " + MarkerName(f.marker) + " at " + Offset(f.offset) +
                   " is not the one the save writes";
        }
    }
    return "the JPEG's header is not the one the save writes";
}

// After the save's header: one scan without a marker inside, then the end
// of image as the last bytes.
std::optional<std::string> JpegScanProblem(std::string_view image, const ImageStructure& walk) {
    if (walk.scans.empty()) return "the JPEG does not end with its end-of-image marker";
    const JpegScan& scan = walk.scans.front();
    std::uint64_t at = scan.innerMarker.value_or(scan.dataEnd);
    if (at >= image.size()) return "the JPEG does not end with its end-of-image marker";
    if (!scan.innerMarker && at + 2 == image.size() && At(image, at + 1) == 0xD9) {
        return std::nullopt;
    }
    const std::string marker =
        at + 1 < image.size() ? MarkerName(At(image, at + 1)) : "cut-off marker";
    return "the JPEG has a " + marker + " at " + Offset(at) +
           " after its scan began; the save writes one scan followed only by the "
           "end-of-image marker";
}

std::optional<std::string> JpegProblem(std::string_view image, const ImageStructure& walk,
                                       std::uint32_t width, std::uint32_t height) {
    const JpegSample& sample = SavedJpeg();
    if (sample.header.empty() || sample.sizeAt == 0) return "the save's JPEG encoder is missing";
    std::string expected = sample.header;
    expected[sample.sizeAt] = static_cast<char>(height >> 8);
    expected[sample.sizeAt + 1] = static_cast<char>(height & 0xFF);
    expected[sample.sizeAt + 2] = static_cast<char>(width >> 8);
    expected[sample.sizeAt + 3] = static_cast<char>(width & 0xFF);
    if (image.size() < expected.size() + 2 || image.substr(0, expected.size()) != expected) {
        return JpegHeaderDifference(image, walk, expected);
    }
    return JpegScanProblem(image, walk);
}

// ---- PNG --------------------------------------------------------------------

std::string ChunkNote(std::string_view type) {
    if (type == "tRNS") return " (transparency)";
    if (type == "acTL" || type == "fcTL" || type == "fdAT") return " (animation)";
    if (type == "eXIf") return " (EXIF)";
    if (type == "tEXt" || type == "zTXt" || type == "iTXt") return " (text)";
    return "";
}

std::string IhdrText(std::string_view data) {
    return "bit depth " + std::to_string(At(data, 8)) + ", colour type " +
           std::to_string(At(data, 9)) + ", interlace " + std::to_string(At(data, 12));
}

std::optional<std::string> PngProblem(std::string_view image, const ImageStructure& walk,
                                      std::uint32_t width, std::uint32_t height) {
    static const std::string savedIhdr = SavedSample(".png", 16, 16).substr(16, 13);
    if (savedIhdr.size() != 13) return "the save's PNG encoder is missing";
    std::string expected = savedIhdr;
    for (int i = 0; i < 4; ++i) {
        expected[i] = static_cast<char>(width >> (24 - 8 * i));
        expected[4 + i] = static_cast<char>(height >> (24 - 8 * i));
    }
    std::string previous;
    for (std::size_t index = 0; index < walk.chunks.size(); ++index) {
        const PngChunk& chunk = walk.chunks[index];
        const std::string& type = chunk.type;
        const std::string_view data =
            image.substr(static_cast<std::size_t>(chunk.dataOffset()), chunk.length);
        const std::string at = " at " + Offset(static_cast<std::size_t>(chunk.offset));
        if (index == 0) {
            if (type != "IHDR" || data != expected) {
                return type != "IHDR" || chunk.length != 13
                           ? "the PNG does not begin with the save's IHDR chunk"
                           : "the PNG's IHDR (" + IhdrText(data) + ") is not the save's (" +
                                 IhdrText(expected) + ")";
            }
        } else if (type == "IEND") {
            if (previous != "IDAT") return "the PNG has no image data (IDAT) before IEND";
            if (chunk.length != 0 || chunk.end() != image.size()) {
                return "the PNG's IEND" + at + " is not its last chunk, empty";
            }
            return std::nullopt;
        } else if (type != "IDAT" || (previous != "IDAT" && previous != "IHDR")) {
            return "the PNG has a " + type + " chunk" + ChunkNote(type) + at +
                   ", which the save does not write; it writes IHDR, IDAT and IEND only";
        }
        previous = type;
    }
    return "the PNG's chunks break off before IEND";
}

// ---- BMP --------------------------------------------------------------------

std::optional<std::string> BmpProblem(std::string_view image, std::uint32_t width,
                                      std::uint32_t height) {
    // A save is at most a few hundred pixels each way; the caller checked it.
    if (width == 0 || height == 0 || width > 4096 || height > 4096) {
        return "the BMP's size is not a save's";
    }
    const std::string saved =
        SavedSample(".bmp", static_cast<int>(width), static_cast<int>(height));
    if (saved.size() < 54) return "the save's BMP encoder is missing";
    const std::size_t headerLength = At(saved, 10) | (static_cast<std::size_t>(At(saved, 11)) << 8);
    if (image.size() < headerLength ||
        image.substr(0, headerLength) != saved.substr(0, headerLength)) {
        return "the BMP's header is not the " + std::to_string(headerLength) +
               "-byte header the save writes for " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    }
    if (image.size() != saved.size()) {
        return "the BMP holds " + std::to_string(image.size()) + " bytes; the save writes " +
               std::to_string(saved.size());
    }
    const std::size_t stride = (saved.size() - headerLength) / height;
    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t padding = headerLength + row * stride + 3 * width;
        for (std::size_t i = padding; i < headerLength + (row + 1) * stride; ++i) {
            if (image[i] != 0) return "the BMP's row padding holds data at " + Offset(i);
        }
    }
    return std::nullopt;
}

bool Starts(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::optional<std::string> SaveStructureProblem(std::string_view image, const ImageStructure& walk,
                                                std::uint32_t width, std::uint32_t height) {
    switch (walk.format) {
        case ImageFormat::Jpeg:
            return JpegProblem(image, walk, width, height);
        case ImageFormat::Png:
            return PngProblem(image, walk, width, height);
        case ImageFormat::Bmp:
            return BmpProblem(image, width, height);
        default:
            break;
    }
    return "the data is not JPEG, PNG or BMP";
}

std::uint64_t JpegScanStart(const ImageStructure& walk, std::uint64_t length) {
    return walk.scans.empty() ? length : walk.scans.front().dataStart;
}

std::optional<std::string> ForeignFormatName(std::string_view bytes) {
    using namespace std::string_view_literals;
    if (Starts(bytes, "II*\0"sv) || Starts(bytes, "MM\0*"sv)) return "TIFF";
    if (Starts(bytes, "RIFF") && bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP") return "WebP";
    if (Starts(bytes, "\0\0\0\x0CjP  "sv) || Starts(bytes, "\xFF\x4F\xFF\x51"sv))
        return "JPEG 2000";
    if (Starts(bytes, "GIF8")) return "GIF";
    if (Starts(bytes, "#?RADIANCE") || Starts(bytes, "#?RGBE")) return "Radiance HDR";
    if (Starts(bytes, "\x76\x2F\x31\x01"sv)) return "OpenEXR";
    if (Starts(bytes, "\x59\xA6\x6A\x95"sv)) return "Sun raster";
    if (bytes.size() >= 2 && bytes[0] == 'P' && std::strchr("123456fF", bytes[1]) != nullptr &&
        bytes[1] != '\0') {
        return bytes[1] == 'f' || bytes[1] == 'F' ? "PFM" : "PNM (PBM, PGM or PPM)";
    }
    return std::nullopt;
}

}  // namespace quorvel
