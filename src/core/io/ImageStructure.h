#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/Result.h"
#include "core/io/DecodingCost.h"
#include "core/io/ImageHeader.h"
#include "core/io/RegularFile.h"

namespace quorvel {

// One quantisation table of a JPEG (DQT), as stored: its precision and
// destination, and its 64 entries in the file's order.
struct QuantisationTable {
    int precision = 0;    // 0: 8-bit entries, 1: 16-bit
    int destination = 0;  // table id, 0..3
    std::array<std::uint16_t, 64> values{};

    bool operator==(const QuantisationTable& other) const = default;
};

// One JPEG marker and its segment, in file order.
struct JpegSegment {
    std::uint8_t marker = 0;
    std::uint64_t offset = 0;  // of the FF before the marker byte
    std::uint64_t end = 0;     // just past the segment (past the marker when it has no length)
};

// A component of the frame and its sampling factors.
struct JpegComponent {
    std::uint8_t id = 0;
    int horizontal = 1;
    int vertical = 1;
};

// The frame header (the first SOFn).
struct JpegFrame {
    std::uint8_t marker = 0;  // 0xC0 baseline, 0xC2 progressive, ...
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<JpegComponent> components;
};

// One scan: its header, and where its entropy-coded data lies.
struct JpegScan {
    std::vector<std::uint8_t> components;  // component ids, in the scan's order
    int spectralStart = 0;                 // Ss
    int spectralEnd = 63;                  // Se
    int approximationHigh = 0;             // Ah: non-zero for a refinement scan
    int approximationLow = 0;              // Al
    std::uint64_t dataStart = 0;           // just past the start-of-scan segment
    // Where the data ends: the FF of the marker that follows it, or the
    // file's length when no marker does (a lone FF as the last byte is the
    // end too).
    std::uint64_t dataEnd = 0;
    // The first restart marker or fill byte inside the data: a decoder reads
    // past it, the save's encoder never writes one.
    std::optional<std::uint64_t> innerMarker;
};

// One PNG chunk, in file order.
struct PngChunk {
    std::string type;          // four letters
    std::uint64_t offset = 0;  // of its length field
    std::uint32_t length = 0;  // of its data
    bool crcMatches = false;

    std::uint64_t dataOffset() const { return offset + 8; }
    std::uint64_t end() const { return offset + 12 + length; }
};

// A PNG's image data (its IDAT chunks' zlib stream) as a decoder inflates
// it. The walk inflates no further than the rows and the cap beyond them.
struct PngImageData {
    std::uint64_t rowBytes = 0;          // what the header's size asks for, filter bytes included
    std::uint64_t inflatedBytes = 0;     // what the stream gave before the walk stopped
    bool streamEnded = false;            // the stream reached its end
    std::uint64_t bytesAfterStream = 0;  // compressed bytes left in IDAT after its end
    std::string damage;                  // zlib's complaint, when the stream is broken
    // The inflated rows themselves (filter bytes included, at most rowBytes)
    // when the walk was asked to keep rows of this size; else empty.
    std::string rows;
};

// What one walk of a file's structure found, before anything is decoded:
// the format by its signature, the size its header claims, the elements of
// JPEG and PNG data from the signature to the first end marker, where the
// data ends, and what decoding it would cost. The walk reads every byte a
// decoder reads (JPEG entropy data for its markers, PNG chunks for their
// CRCs and compressed chunks inflated), and nothing past the end marker.
// Its lists keep at most 65536 elements each (a save has about a hundred);
// `work` counts every one.
struct ImageStructure {
    ImageFormat format = ImageFormat::Other;
    // The size the header claims; none when it cannot be read, with why in
    // headerProblem (a header cut short or malformed).
    std::optional<ImageHeader> header;
    std::string headerProblem;
    // Just past the JPEG end-of-image marker, the PNG IEND chunk or the
    // BMP's stated length; none when the data is not complete, with why in
    // `problem` (the first irregularity met, in English).
    std::optional<std::uint64_t> end;
    std::string problem;

    std::vector<JpegSegment> segments;            // JPEG: every marker up to the end of image
    std::optional<JpegFrame> frame;               // JPEG: the first frame header
    std::vector<JpegScan> scans;                  // JPEG: in file order
    std::vector<QuantisationTable> quantisation;  // JPEG: in file order
    std::vector<PngChunk> chunks;                 // PNG: up to IEND
    std::optional<PngImageData> imageData;        // PNG: once its header is read
    DecodingWork work;

    // The header as ReadImageHeader gives it: BadContent with headerProblem
    // for a known signature whose header cannot be read; Other 0 x 0 for an
    // unknown one.
    Result<ImageHeader> Header() const;
};

// Walks bytes in memory. Any input is safe; nothing outside `bytes` is read.
// A PNG's inflated rows are kept (PngImageData::rows) when its header's rows
// take at most `keepRowsUpTo` bytes, so that they need not be inflated again.
ImageStructure WalkImage(std::string_view bytes, std::uint64_t keepRowsUpTo = 0);

// Walks an open file through a window of its bytes, never holding the file
// whole; NotReadable (with the file's path) when a read fails.
Result<ImageStructure> WalkImage(const RegularFile& file);

}  // namespace quorvel
