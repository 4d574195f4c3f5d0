#include "core/verify/ImageLayout.h"

#include <cstring>

namespace quorvel {

namespace {

std::uint8_t At(std::string_view bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

std::uint32_t BigEndian32(std::string_view bytes, std::size_t i) {
    return (static_cast<std::uint32_t>(At(bytes, i)) << 24) |
           (static_cast<std::uint32_t>(At(bytes, i + 1)) << 16) |
           (static_cast<std::uint32_t>(At(bytes, i + 2)) << 8) | At(bytes, i + 3);
}

std::string Offset(std::size_t offset) { return "offset " + std::to_string(offset); }

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
}

// Reads the tables of one DQT segment's payload; false when they overrun it.
bool ReadQuantisation(std::string_view payload, std::vector<QuantisationTable>& tables) {
    std::size_t i = 0;
    while (i < payload.size()) {
        QuantisationTable table;
        table.precision = At(payload, i) >> 4;
        table.destination = At(payload, i) & 15;
        ++i;
        if (table.precision > 1) return false;
        const std::size_t entry = table.precision == 0 ? 1 : 2;
        if (payload.size() - i < 64 * entry) return false;
        for (std::size_t k = 0; k < 64; ++k) {
            table.values[k] = entry == 1
                                  ? At(payload, i + k)
                                  : static_cast<std::uint16_t>((At(payload, i + 2 * k) << 8) |
                                                               At(payload, i + 2 * k + 1));
        }
        i += 64 * entry;
        tables.push_back(table);
    }
    return true;
}

// The end of the entropy-coded data that starts at `pos`: the offset of the
// first 0xFF that begins a marker (not a stuffed 0xFF 0x00, a restart marker
// or fill), or npos when the data runs out first.
std::size_t EntropyDataEnd(std::string_view bytes, std::size_t pos) {
    while (pos < bytes.size()) {
        const void* found = std::memchr(bytes.data() + pos, 0xFF, bytes.size() - pos);
        if (found == nullptr) return std::string_view::npos;
        pos = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
        if (pos + 1 >= bytes.size()) return std::string_view::npos;
        const std::uint8_t next = At(bytes, pos + 1);
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
            pos += 2;
        } else if (next == 0xFF) {
            ++pos;  // fill byte before a marker
        } else {
            return pos;
        }
    }
    return std::string_view::npos;
}

void WalkJpeg(std::string_view bytes, ImageLayout& layout) {
    std::size_t pos = 2;  // past the start-of-image marker
    while (true) {
        if (pos >= bytes.size()) {
            layout.problem = "the JPEG data ends before its end-of-image marker";
            return;
        }
        if (At(bytes, pos) != 0xFF) {
            layout.problem = "a JPEG segment was expected at " + Offset(pos);
            return;
        }
        while (pos < bytes.size() && At(bytes, pos) == 0xFF) ++pos;  // fill bytes
        if (pos >= bytes.size()) {
            layout.problem = "the JPEG data ends before its end-of-image marker";
            return;
        }
        const std::uint8_t marker = At(bytes, pos++);
        if (marker == 0xD9) {
            layout.end = pos;
            return;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        if (marker == 0x00 || marker == 0xD8) {
            layout.problem = "the JPEG data has an invalid marker at " + Offset(pos - 2);
            return;
        }
        if (bytes.size() - pos < 2) {
            layout.problem = "the JPEG data ends inside a segment";
            return;
        }
        const std::size_t length =
            (static_cast<std::size_t>(At(bytes, pos)) << 8) | At(bytes, pos + 1);
        if (length < 2) {
            layout.problem = "a JPEG segment at " + Offset(pos - 2) + " has a length below 2";
            return;
        }
        if (bytes.size() - pos < length) {
            layout.problem = "the JPEG data ends inside a segment";
            return;
        }
        if (marker == 0xDB &&
            !ReadQuantisation(bytes.substr(pos + 2, length - 2), layout.quantisation)) {
            layout.problem = "a JPEG quantisation segment at " + Offset(pos - 2) + " is malformed";
            return;
        }
        pos += length;
        if (marker == 0xDA) {  // start of scan: entropy-coded data follows
            pos = EntropyDataEnd(bytes, pos);
            if (pos == std::string_view::npos) {
                layout.problem = "the JPEG data ends before its end-of-image marker";
                return;
            }
        }
    }
}

std::uint32_t Crc32(std::string_view data) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFU;
    for (char ch : data) c = table[(c ^ static_cast<std::uint8_t>(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFU;
}

void WalkPng(std::string_view bytes, ImageLayout& layout) {
    std::size_t pos = 8;  // past the signature
    while (true) {
        if (bytes.size() - pos < 12) {
            layout.problem = "the PNG data ends before its IEND chunk";
            return;
        }
        const std::uint32_t length = BigEndian32(bytes, pos);
        if (length > 0x7FFFFFFFU || bytes.size() - pos - 12 < length) {
            layout.problem = "the PNG data ends inside the chunk at " + Offset(pos);
            return;
        }
        const std::string_view typeAndData = bytes.substr(pos + 4, 4 + length);
        if (Crc32(typeAndData) != BigEndian32(bytes, pos + 8 + length)) {
            layout.problem = "the PNG chunk at " + Offset(pos) + " has a wrong CRC";
            return;
        }
        pos += 12 + length;
        if (typeAndData.substr(0, 4) == "IEND") {
            layout.end = pos;
            return;
        }
    }
}

void WalkBmp(std::string_view bytes, ImageLayout& layout) {
    if (bytes.size() < 14) {
        layout.problem = "the BMP header is cut short";
        return;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(At(bytes, 2)) |
                                 (static_cast<std::uint32_t>(At(bytes, 3)) << 8) |
                                 (static_cast<std::uint32_t>(At(bytes, 4)) << 16) |
                                 (static_cast<std::uint32_t>(At(bytes, 5)) << 24);
    if (length < 14 || length > bytes.size()) {
        layout.problem = "the BMP header states " + std::to_string(length) +
                         " bytes, the file holds " + std::to_string(bytes.size());
        return;
    }
    layout.end = length;
}

}  // namespace

ImageLayout WalkImage(std::string_view bytes) {
    ImageLayout layout;
    if (StartsWith(bytes, "\xFF\xD8")) {
        layout.format = ImageFormat::Jpeg;
        WalkJpeg(bytes, layout);
    } else if (StartsWith(bytes, "\x89PNG\r\n\x1A\n")) {
        layout.format = ImageFormat::Png;
        WalkPng(bytes, layout);
    } else if (StartsWith(bytes, "BM")) {
        layout.format = ImageFormat::Bmp;
        WalkBmp(bytes, layout);
    }
    return layout;
}

}  // namespace quorvel
