#include "core/io/ImageStructure.h"

#include "core/io/StructureWalk.h"
#include "core/rules/Rules.h"

namespace quorvel {

namespace {

using structure_walk::NoteProblem;

void Sized(ImageStructure& walk, std::uint64_t width, std::uint64_t height) {
    if (width > UINT32_MAX || height > UINT32_MAX) {
        walk.headerProblem =
            std::string(ImageFormatName(walk.format)) + " header claims an absurd size";
        return;
    }
    walk.header = ImageHeader{walk.format, static_cast<std::uint32_t>(width),
                              static_cast<std::uint32_t>(height)};
}

void Malformed(ImageStructure& walk, const std::string& what) {
    walk.headerProblem = std::string(ImageFormatName(walk.format)) + " header " + what;
}

// The header, and the end its stated length gives.
void WalkBmp(ByteSource& source, ImageStructure& walk) {
    const std::string_view start = source.At(0, 26);
    if (start.size() < 14) {
        NoteProblem(walk, "the BMP header is cut short");
    } else if (const std::uint32_t length = Little32(start, 2);
               length < 14 || length > source.length()) {
        NoteProblem(walk, "the BMP header states " + std::to_string(length) +
                              " bytes, the file holds " + std::to_string(source.length()));
    } else {
        walk.end = length;
    }
    const std::string_view head = start.size() > 14 ? start.substr(14) : std::string_view();
    if (head.size() < 8) return Malformed(walk, "is cut short");
    const std::uint32_t infoSize = Little32(head, 0);
    if (infoSize == 12) return Sized(walk, Little16(head, 4), Little16(head, 6));
    if (head.size() < 12 || infoSize < 16) return Malformed(walk, "is cut short");
    const auto width = static_cast<std::int32_t>(Little32(head, 4));
    const auto height = static_cast<std::int32_t>(Little32(head, 8));  // negative: top row first
    if (width < 0) return Malformed(walk, "claims a negative width");
    const std::int64_t rows = height;
    Sized(walk, static_cast<std::uint64_t>(width),
          static_cast<std::uint64_t>(rows < 0 ? -rows : rows));
}

void WalkWebP(ByteSource& source, ImageStructure& walk) {
    const std::string_view chunk = source.At(12, 18);
    if (chunk.size() < 18) return Malformed(walk, "is cut short");
    const std::string_view kind = chunk.substr(0, 4);
    if (kind == "VP8X") {  // extended: 24-bit canvas size minus one
        return Sized(walk, (Little32(chunk, 12) & 0xFFFFFF) + 1, (Little32(chunk, 14) >> 8) + 1);
    }
    if (kind == "VP8L") {  // lossless: signature, then 14-bit sizes minus one
        if (Byte(chunk, 8) != 0x2F) return Malformed(walk, "has a bad lossless signature");
        const std::uint32_t bits = Little32(chunk, 9);
        return Sized(walk, (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    }
    if (kind == "VP8 ") {  // lossy key frame: start code, then 14-bit sizes
        if (chunk.substr(11, 3) != "\x9D\x01\x2A") {
            return Malformed(walk, "has no key frame start code");
        }
        return Sized(walk, Little16(chunk, 14) & 0x3FFF, Little16(chunk, 16) & 0x3FFF);
    }
    Malformed(walk, "has no image chunk first");
}

// The first page's ImageWidth (256) and ImageLength (257), classic or BigTIFF.
void WalkTiff(ByteSource& source, ImageStructure& walk, bool little, bool big) {
    auto u16 = [little](std::string_view b, std::size_t i) {
        return little ? Little16(b, i) : Big16(b, i);
    };
    auto u32 = [&](std::string_view b, std::size_t i) {
        return little ? Little32(b, i) : Big32(b, i);
    };
    auto u64 = [&](std::string_view b, std::size_t i) {
        const std::uint64_t low = u32(b, little ? i : i + 4), high = u32(b, little ? i + 4 : i);
        return high << 32 | low;
    };
    const std::string_view head = source.At(4, 12);
    if (head.size() < (big ? 12u : 4u)) return Malformed(walk, "is cut short");
    const std::uint64_t ifd = big ? u64(head, 4) : u32(head, 0);
    const std::string countBytes(source.At(ifd, big ? 8 : 2));
    if (countBytes.size() < (big ? 8u : 2u)) return Malformed(walk, "has no first page");
    const std::uint64_t count = big ? u64(countBytes, 0) : u16(countBytes, 0);
    const std::size_t entrySize = big ? 20 : 12;
    std::optional<std::uint64_t> width, height;
    for (std::uint64_t i = 0; i < count && !(width && height); ++i) {
        const std::string_view entry =
            source.At(ifd + countBytes.size() + i * entrySize, entrySize);
        if (entry.size() < entrySize) break;
        const std::uint32_t tag = u16(entry, 0), type = u16(entry, 2);
        const std::size_t value = big ? 12 : 8;
        const std::uint64_t number = type == 3             ? u16(entry, value)
                                     : type == 4           ? u32(entry, value)
                                     : (big && type == 16) ? u64(entry, value)
                                                           : 0;
        if (tag == 256) width = number;
        if (tag == 257) height = number;
    }
    if (!width || !height) return Malformed(walk, "gives no size for its first page");
    Sized(walk, *width, *height);
}

ImageStructure Walk(ByteSource& source, std::uint64_t keepRowsUpTo) {
    ImageStructure walk;
    const std::string start(source.At(0, 12));
    auto starts = [&start](std::string_view signature) {
        return std::string_view(start).substr(0, signature.size()) == signature;
    };
    using namespace std::string_view_literals;
    if (starts("\xFF\xD8"sv)) {
        walk.format = ImageFormat::Jpeg;
        structure_walk::WalkJpeg(source, walk);
    } else if (starts("\x89PNG\r\n\x1A\n"sv)) {
        walk.format = ImageFormat::Png;
        structure_walk::WalkPng(source, walk, keepRowsUpTo);
    } else if (starts("BM")) {
        walk.format = ImageFormat::Bmp;
        WalkBmp(source, walk);
    } else if (starts("RIFF") && start.size() == 12 && start.substr(8, 4) == "WEBP") {
        walk.format = ImageFormat::WebP;
        WalkWebP(source, walk);
    } else if (starts("II*\0"sv) || starts("MM\0*"sv)) {
        walk.format = ImageFormat::Tiff;
        WalkTiff(source, walk, start[0] == 'I', false);
    } else if (starts("II+\0"sv) || starts("MM\0+"sv)) {
        walk.format = ImageFormat::Tiff;
        WalkTiff(source, walk, start[0] == 'I', true);
    }
    return walk;
}

}  // namespace

Result<ImageHeader> ImageStructure::Header() const {
    if (header) return *header;
    if (format == ImageFormat::Other) return ImageHeader{};
    return Fail(ErrorKind::BadContent, headerProblem);
}

ImageStructure WalkImage(std::string_view bytes, std::uint64_t keepRowsUpTo) {
    ByteSource source(bytes);
    return Walk(source, keepRowsUpTo);
}

Result<ImageStructure> WalkImage(const RegularFile& file) {
    ByteSource source(file);
    ImageStructure walk = Walk(source, 0);
    if (std::optional<Error> failure = source.failure()) {
        failure->path = file.path();
        return *failure;
    }
    return walk;
}

double DecodingWork::ReadsPerCoefficient() const {
    if (frameCoefficients == 0) return 0;
    return static_cast<double>(coefficientReads) / static_cast<double>(frameCoefficients);
}

std::optional<CostExcess> CheckDecodingCost(ImageFormat format, const DecodingWork& work) {
    using Kind = CostExcess::Kind;
    if (work.scans > rules::kMaxJpegScans) {
        return CostExcess{Kind::Scans, format, static_cast<double>(work.scans),
                          static_cast<double>(rules::kMaxJpegScans)};
    }
    if (work.ReadsPerCoefficient() > rules::kMaxJpegReadsPerCoefficient) {
        return CostExcess{Kind::CoefficientReads, format, work.ReadsPerCoefficient(),
                          rules::kMaxJpegReadsPerCoefficient};
    }
    if (work.inflatedChunkBytes > rules::kMaxPngInflatedChunkBytes) {
        return CostExcess{Kind::InflatedChunks, format,
                          static_cast<double>(work.inflatedChunkBytes),
                          static_cast<double>(rules::kMaxPngInflatedChunkBytes)};
    }
    if (work.imageDataExcess > rules::kMaxPngImageDataExcess) {
        return CostExcess{Kind::ImageDataExcess, format, static_cast<double>(work.imageDataExcess),
                          static_cast<double>(rules::kMaxPngImageDataExcess)};
    }
    return std::nullopt;
}

}  // namespace quorvel
