#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/io/ImageHeader.h"

namespace quorvel {

// One quantisation table of a JPEG (DQT), as stored: its precision and
// destination, and its 64 entries in the file's order.
struct QuantisationTable {
    int precision = 0;    // 0: 8-bit entries, 1: 16-bit
    int destination = 0;  // table id, 0..3
    std::array<std::uint16_t, 64> values{};

    bool operator==(const QuantisationTable& other) const = default;
};

// What a walk of the bytes found: the format by its signature (JPEG, PNG
// or BMP; the structure of other formats is not walked), where its
// data ends (just past the JPEG end-of-image marker, the PNG IEND chunk or
// the BMP's stated length), or why no end was reached.
struct ImageLayout {
    ImageFormat format = ImageFormat::Other;
    std::optional<std::size_t> end;               // none when the data is not complete
    std::string problem;                          // why the walk stopped short, in English
    std::vector<QuantisationTable> quantisation;  // JPEG only, in file order
};

// Walks JPEG segments (and entropy-coded data) or PNG chunks (length, type,
// CRC) from the signature to the first end marker. Reads nothing beyond
// `bytes`; any input is safe.
ImageLayout WalkImage(std::string_view bytes);

}  // namespace quorvel
