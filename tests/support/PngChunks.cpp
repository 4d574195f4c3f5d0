#include "support/PngChunks.h"

#include <zlib.h>

namespace testsupport {

namespace {

std::string Big32(std::uint32_t n) {
    return {static_cast<char>(n >> 24), static_cast<char>((n >> 16) & 0xFF),
            static_cast<char>((n >> 8) & 0xFF), static_cast<char>(n & 0xFF)};
}

}  // namespace

std::uint32_t Crc32(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::vector<PngChunk> PngChunks(const std::string& png) {
    std::vector<PngChunk> chunks;
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        const std::uint32_t length =
            (static_cast<std::uint32_t>(static_cast<std::uint8_t>(png[pos])) << 24) |
            (static_cast<std::uint8_t>(png[pos + 1]) << 16) |
            (static_cast<std::uint8_t>(png[pos + 2]) << 8) |
            static_cast<std::uint8_t>(png[pos + 3]);
        if (pos + 12 + length > png.size()) break;
        chunks.push_back({png.substr(pos + 4, 4), png.substr(pos + 8, length)});
        pos += 12 + length;
    }
    return chunks;
}

std::string AssembledPng(const std::vector<PngChunk>& chunks) {
    std::string png = "\x89PNG\r\n\x1A\n";
    for (const PngChunk& c : chunks) {
        png += Big32(static_cast<std::uint32_t>(c.data.size())) + c.type + c.data +
               Big32(Crc32(c.type + c.data));
    }
    return png;
}

std::string PngImageStream(const std::vector<PngChunk>& chunks) {
    std::string stream;
    for (const PngChunk& c : chunks) {
        if (c.type == "IDAT") stream += c.data;
    }
    return stream;
}

std::string Deflated(const std::string& bytes) {
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(length, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &length,
              reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
              Z_DEFAULT_COMPRESSION);
    out.resize(length);
    return out;
}

std::string Inflated(const std::string& stream, std::size_t length) {
    std::string out(length, '\0');
    uLongf done = length;
    uncompress(reinterpret_cast<Bytef*>(out.data()), &done,
               reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size()));
    out.resize(done);
    return out;
}

}  // namespace testsupport
