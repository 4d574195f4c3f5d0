#include "support/CraftedFiles.h"

#include <zlib.h>

#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

#include "core/save/SavePhoto.h"

namespace crafted {

namespace {

std::string Encoded(const cv::Mat& photo, const char* extension, const std::vector<int>& params) {
    std::vector<uchar> bytes;
    if (!cv::imencode(extension, photo, bytes, params)) throw std::runtime_error("no encoder");
    return std::string(bytes.begin(), bytes.end());
}

std::string Big16(std::size_t value) {
    return {static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

std::string Big32(std::size_t value) { return Big16(value >> 16) + Big16(value & 0xFFFF); }

// The id of the frame's first component (luma).
char FirstComponent(const std::string& jpeg) {
    const std::size_t frame = jpeg.find("\xFF\xC2");
    if (frame == std::string::npos) throw std::runtime_error("no progressive frame");
    return jpeg[frame + 10];
}

// A progressive JPEG of the photo, then, before its end of image, an AC
// Huffman table of one code ("0": a run of 16384 empty blocks) and scans of
// the luma that each cover every block with that code: 12 bytes a scan.
std::string ScanBomb(const cv::Mat& photo, std::size_t budget, bool refinement) {
    std::string jpeg = Encoded(photo, ".jpg", {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    const std::string end = jpeg.substr(jpeg.size() - 2);
    jpeg.resize(jpeg.size() - 2);
    std::string table = "\x13";  // class 1 (AC), table 3
    table += std::string("\x01", 1) + std::string(15, '\0') +
             "\xE0";  // one code of length 1: EOB run 2^14
    jpeg += "\xFF\xC4" + Big16(table.size() + 2) + table;
    std::string scan = "\xFF\xDA" + Big16(8) + "\x01" + FirstComponent(jpeg) + "\x03";
    scan += refinement ? std::string("\x01\x3F\x10", 3) : std::string("\x01\x3F\x00", 3);
    scan += std::string("\x00\x00", 2);  // the code and 14 zero bits, padded
    while (jpeg.size() + scan.size() + 2 <= budget) jpeg += scan;
    return jpeg + end;
}

std::string Chunk(const std::string& type, const std::string& data) {
    const std::string typed = type + data;
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    return Big32(data.size()) + typed + Big32(crc);
}

// One zlib stream of `head` followed by `zeros` zero bytes.
std::string Deflated(const std::string& head, std::size_t zeros) {
    z_stream stream{};
    deflateInit(&stream, 9);
    std::string out;
    std::string buffer(1 << 16, '\0');
    auto feed = [&](const char* data, std::size_t size, int flush) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream.avail_in = static_cast<uInt>(size);
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            out.append(buffer.data(), buffer.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    feed(head.data(), head.size(), Z_NO_FLUSH);
    const std::string block(1 << 20, '\0');
    for (std::size_t left = zeros; left > 0;) {
        const std::size_t part = std::min(left, block.size());
        feed(block.data(), part, Z_NO_FLUSH);
        left -= part;
    }
    feed(nullptr, 0, Z_FINISH);
    deflateEnd(&stream);
    return out;
}

// The photo's rows, unfiltered, as a PNG of colour type 2 holds them.
std::string Rows(const cv::Mat& photo) {
    std::string rows;
    for (int y = 0; y < photo.rows; ++y) {
        rows += '\0';
        for (int x = 0; x < photo.cols; ++x) {
            const cv::Vec3b bgr = photo.at<cv::Vec3b>(y, x);
            rows +=
                {static_cast<char>(bgr[2]), static_cast<char>(bgr[1]), static_cast<char>(bgr[0])};
        }
    }
    return rows;
}

// A PNG of the photo's size: `imageData` as its IDAT, then `after`.
std::string Png(const cv::Mat& photo, const std::string& imageData, const std::string& after) {
    const std::string header =
        Big32(photo.cols) + Big32(photo.rows) + "\x08\x02" + std::string(3, '\0');
    return "\x89PNG\r\n\x1A\n" + Chunk("IHDR", header) + Chunk("IDAT", imageData) + after +
           Chunk("IEND", "");
}

// zTXt chunks up to the budget, each inflating to at most 7.5 MiB (libpng
// keeps chunks of up to 8 MB), `inflated` in all when the budget allows.
std::string TextChunkBomb(const cv::Mat& photo, std::size_t budget, std::size_t inflated) {
    const std::size_t each = std::min<std::size_t>(inflated, 7680u << 10);
    const std::string text =
        Chunk("zTXt", std::string("Comment\0\0", 9) + Deflated("", std::max<std::size_t>(each, 1)));
    const std::string plain = Png(photo, Deflated(Rows(photo), 0), "");
    std::string chunks;
    for (std::size_t total = 0;
         total < inflated && plain.size() + chunks.size() + text.size() <= budget; total += each) {
        chunks += text;
    }
    return Png(photo, Deflated(Rows(photo), 0), chunks);
}

}  // namespace

std::string Crafted(Kind kind, const cv::Mat& photo, std::size_t budget, std::size_t inflated) {
    switch (kind) {
        case Kind::ScanBomb:
            return ScanBomb(photo, budget, false);
        case Kind::RefinementBomb:
            return ScanBomb(photo, budget, true);
        case Kind::TextChunkBomb:
            return TextChunkBomb(photo, budget, inflated);
        case Kind::InflateBomb: {
            // Zeros deflate about a thousand to one.
            const std::size_t plain = Png(photo, Deflated(Rows(photo), 0), "").size();
            const std::size_t fits = budget > plain ? (budget - plain) * 1000 : 0;
            return Png(photo, Deflated(Rows(photo), std::min(inflated, fits)), "");
        }
    }
    return {};
}

std::vector<File> AllKinds(const cv::Mat& photo, std::size_t budget, std::size_t inflated) {
    std::vector<File> files;
    for (const auto& [kind, name] : {std::pair{Kind::ScanBomb, "scan bomb"},
                                     std::pair{Kind::RefinementBomb, "refinement-scan bomb"},
                                     std::pair{Kind::TextChunkBomb, "text-chunk bomb"},
                                     std::pair{Kind::InflateBomb, "decompression bomb"}}) {
        files.push_back({kind, name, Crafted(kind, photo, budget, inflated)});
    }
    return files;
}

std::string WithPassMarker(std::string bytes) {
    for (const std::uint8_t byte : quorvel::MakePassMarker()) bytes += static_cast<char>(byte);
    return bytes;
}

}  // namespace crafted
