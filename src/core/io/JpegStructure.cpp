// The walk of JPEG data: its markers as libjpeg reads them (fill bytes, bytes
// between segments skipped as libjpeg skips them, each scan's entropy-coded
// data to the marker that ends it), to the first end-of-image marker.
#include <algorithm>
#include <cstring>

#include "core/io/StructureWalk.h"

namespace quorvel::structure_walk {

namespace {

bool IsStartOfFrame(std::uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsProgressive(std::uint32_t marker) { return marker == 0xC2 || marker == 0xCA; }

// The first FF at or after `pos`; the source's length when there is none.
std::uint64_t NextFF(ByteSource& source, std::uint64_t pos) {
    while (pos < source.length()) {
        const std::string_view piece = source.From(pos);
        if (piece.empty()) break;
        const void* found = std::memchr(piece.data(), 0xFF, piece.size());
        if (found != nullptr) {
            return pos + static_cast<std::uint64_t>(static_cast<const char*>(found) - piece.data());
        }
        pos += piece.size();
    }
    return source.length();
}

// The first byte at or after `pos` that is not FF; the length when none is.
std::uint64_t PastFill(ByteSource& source, std::uint64_t pos) {
    while (pos < source.length()) {
        const std::string_view piece = source.From(pos);
        if (piece.empty()) break;
        const std::size_t other = piece.find_first_not_of('\xFF');
        if (other != std::string_view::npos) return pos + other;
        pos += piece.size();
    }
    return source.length();
}

// The end of the entropy-coded data that starts at `pos`: the FF of the first
// marker (not a stuffed FF 00, a restart marker or a fill byte), or where the
// data runs out (a lone FF as the last byte). The first restart marker or
// fill byte met is noted in `inner`.
std::uint64_t EntropyDataEnd(ByteSource& source, std::uint64_t pos,
                             std::optional<std::uint64_t>& inner) {
    while (true) {
        pos = NextFF(source, pos);
        const std::string_view two = source.At(pos, 2);
        if (two.size() < 2) return std::min(pos, source.length());
        const std::uint32_t next = Byte(two, 1);
        if (next == 0x00) {
            pos += 2;
        } else if ((next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
            if (!inner) inner = pos;
            pos += next == 0xFF ? 1 : 2;
        } else {
            return pos;
        }
    }
}

// Reads the tables of one DQT segment's payload; false when they overrun it.
bool ReadQuantisation(std::string_view payload, std::vector<QuantisationTable>& tables) {
    std::size_t i = 0;
    while (i < payload.size()) {
        QuantisationTable table;
        table.precision = static_cast<int>(Byte(payload, i) >> 4);
        table.destination = static_cast<int>(Byte(payload, i) & 15);
        ++i;
        if (table.precision > 1) return false;
        const std::size_t entry = table.precision == 0 ? 1 : 2;
        if (payload.size() - i < 64 * entry) return false;
        for (std::size_t k = 0; k < 64; ++k) {
            table.values[k] = static_cast<std::uint16_t>(entry == 1 ? Byte(payload, i + k)
                                                                    : Big16(payload, i + 2 * k));
        }
        i += 64 * entry;
        tables.push_back(table);
    }
    return true;
}

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// The frame's block geometry, as libjpeg lays it out.
struct Blocks {
    int maxH = 1, maxV = 1;
    std::uint64_t mcus = 0;

    explicit Blocks(const JpegFrame& frame) {
        for (const JpegComponent& c : frame.components) {
            maxH = std::max(maxH, c.horizontal);
            maxV = std::max(maxV, c.vertical);
        }
        mcus = CeilDiv(frame.width, 8u * maxH) * CeilDiv(frame.height, 8u * maxV);
    }
    // A component's own blocks (a scan of it alone visits these).
    std::uint64_t Of(const JpegFrame& frame, const JpegComponent& c) const {
        return CeilDiv(CeilDiv(std::uint64_t{frame.width} * c.horizontal, maxH), 8) *
               CeilDiv(CeilDiv(std::uint64_t{frame.height} * c.vertical, maxV), 8);
    }
};

std::optional<JpegFrame> ReadFrame(std::uint8_t marker, std::string_view payload) {
    if (payload.size() < 6) return std::nullopt;
    JpegFrame frame;
    frame.marker = marker;
    frame.height = Big16(payload, 1);
    frame.width = Big16(payload, 3);
    const std::size_t count = Byte(payload, 5);
    for (std::size_t i = 0; i < count && 6 + 3 * i + 2 < payload.size(); ++i) {
        const std::uint32_t sampling = Byte(payload, 7 + 3 * i);
        frame.components.push_back({static_cast<std::uint8_t>(Byte(payload, 6 + 3 * i)),
                                    std::clamp(static_cast<int>(sampling >> 4), 1, 4),
                                    std::clamp(static_cast<int>(sampling & 15), 1, 4)});
    }
    return frame;
}

JpegScan ReadScan(std::string_view payload) {
    JpegScan scan;
    const std::size_t count = payload.empty() ? 0 : Byte(payload, 0);
    if (payload.size() < 1 + 2 * count + 3) return scan;  // unreadable: counted as every component
    for (std::size_t i = 0; i < count; ++i) {
        scan.components.push_back(static_cast<std::uint8_t>(Byte(payload, 1 + 2 * i)));
    }
    const std::size_t tail = 1 + 2 * count;
    scan.spectralStart = static_cast<int>(Byte(payload, tail));
    scan.spectralEnd = static_cast<int>(Byte(payload, tail + 1));
    scan.approximationHigh = static_cast<int>(Byte(payload, tail + 2) >> 4);
    scan.approximationLow = static_cast<int>(Byte(payload, tail + 2) & 15);
    return scan;
}

// The coefficients a scan reads: its blocks times the coefficients of each
// block it covers. A component the frame lacks counts as the largest.
std::uint64_t CoefficientReads(const JpegFrame& frame, const JpegScan& scan) {
    const Blocks blocks(frame);
    const int band = IsProgressive(frame.marker)
                         ? std::clamp(scan.spectralEnd - scan.spectralStart + 1, 1, 64)
                         : 64;
    std::uint64_t largest = 0;
    for (const JpegComponent& c : frame.components)
        largest = std::max(largest, blocks.Of(frame, c));
    auto find = [&frame](std::uint8_t id) -> const JpegComponent* {
        for (const JpegComponent& c : frame.components) {
            if (c.id == id) return &c;
        }
        return nullptr;
    };
    std::uint64_t visited = 0;
    if (scan.components.empty()) {
        for (const JpegComponent& c : frame.components) visited += blocks.Of(frame, c);
    } else if (scan.components.size() == 1) {
        const JpegComponent* c = find(scan.components[0]);
        visited = c != nullptr ? blocks.Of(frame, *c) : largest;
    } else {
        for (std::uint8_t id : scan.components) {
            const JpegComponent* c = find(id);
            visited += c != nullptr ? blocks.mcus * c->horizontal * c->vertical : largest;
        }
    }
    return visited * static_cast<std::uint64_t>(band);
}

std::uint64_t FrameCoefficients(const JpegFrame& frame) {
    const Blocks blocks(frame);
    std::uint64_t total = 0;
    for (const JpegComponent& c : frame.components) total += blocks.Of(frame, c);
    return total * 64;
}

class JpegWalk {
public:
    JpegWalk(ByteSource& source, ImageStructure& walk) : m_source(source), m_walk(walk) {}

    void Run();

private:
    std::uint32_t ByteAt(std::uint64_t offset) {
        const std::string_view one = m_source.At(offset, 1);
        return one.empty() ? 0 : Byte(one, 0);
    }
    void HeaderProblem(const std::string& what) {
        if (m_headerSettled) return;
        m_walk.headerProblem = "JPEG header " + what;
        m_headerSettled = true;
    }
    void Record(std::uint8_t marker, std::uint64_t at, std::uint64_t end) {
        if (m_walk.segments.size() < kMaxListed) m_walk.segments.push_back({marker, at, end});
    }
    // A segment with a length at `at` (its FF); false when the walk ends.
    bool Segment(std::uint8_t marker, std::uint64_t at, std::uint64_t& pos);
    void Frame(std::uint8_t marker, std::string_view payload);
    // The scan whose header is `payload` and whose data starts at `pos`;
    // false when the data runs out.
    bool Scan(std::string_view payload, std::uint64_t& pos);

    ByteSource& m_source;
    ImageStructure& m_walk;
    bool m_headerSettled = false;
};

void JpegWalk::Run() {
    const std::uint64_t length = m_source.length();
    std::uint64_t pos = 2;  // past the start-of-image marker
    while (true) {
        if (pos >= length) {
            NoteProblem(m_walk, "the JPEG data ends before its end-of-image marker");
            HeaderProblem("ends before its frame header");
            return;
        }
        if (ByteAt(pos) != 0xFF) {  // libjpeg skips to the next FF
            NoteProblem(m_walk, "a JPEG segment was expected at " + Offset(pos));
            HeaderProblem("has no marker where one belongs");
            pos = NextFF(m_source, pos);
            continue;
        }
        pos = PastFill(m_source, pos);  // fill bytes
        if (pos >= length) {
            NoteProblem(m_walk, "the JPEG data ends before its end-of-image marker");
            HeaderProblem("ends before its frame header");
            return;
        }
        const auto marker = static_cast<std::uint8_t>(ByteAt(pos));
        const std::uint64_t at = pos - 1;
        ++pos;
        if (marker == 0xD9) {
            Record(marker, at, pos);
            if (m_walk.problem.empty()) m_walk.end = pos;
            HeaderProblem("reaches its image data before a frame header");
            return;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length follows
            Record(marker, at, pos);
            continue;
        }
        if (marker == 0x00 || marker == 0xD8) {  // libjpeg skips FF 00 and stops at a second SOI
            NoteProblem(m_walk, "the JPEG data has an invalid marker at " + Offset(at));
            HeaderProblem("has no marker where one belongs");
            if (marker == 0xD8) return;
            continue;
        }
        if (!Segment(marker, at, pos)) return;
    }
}

bool JpegWalk::Segment(std::uint8_t marker, std::uint64_t at, std::uint64_t& pos) {
    const std::string_view size = m_source.At(pos, 2);
    if (size.size() < 2) {
        NoteProblem(m_walk, "the JPEG data ends inside a segment");
        HeaderProblem("ends inside a segment");
        return false;
    }
    const std::uint32_t length = Big16(size, 0);
    if (length < 2) {
        NoteProblem(m_walk, "a JPEG segment at " + Offset(at) + " has a length below 2");
        HeaderProblem("has a segment shorter than its length");
        pos += 2;
        return true;
    }
    if (IsStartOfFrame(marker) && !m_headerSettled) {
        const std::string_view head = m_source.At(pos, 7);
        if (head.size() < 7) {
            HeaderProblem("ends inside its frame header");
        } else {
            m_walk.header = ImageHeader{ImageFormat::Jpeg, Big16(head, 5), Big16(head, 3)};
            m_headerSettled = true;
        }
    }
    if (m_source.length() - pos < length) {
        NoteProblem(m_walk, "the JPEG data ends inside a segment");
        HeaderProblem("ends before its frame header");
        return false;
    }
    const std::uint64_t end = pos + length;
    Record(marker, at, end);
    const std::string_view payload = m_source.At(pos + 2, length - 2);
    if (marker == 0xDB && m_walk.problem.empty() &&
        !ReadQuantisation(payload, m_walk.quantisation)) {
        NoteProblem(m_walk, "a JPEG quantisation segment at " + Offset(at) + " is malformed");
    }
    if (IsStartOfFrame(marker)) Frame(marker, payload);
    pos = end;
    if (marker == 0xDA) {
        HeaderProblem("reaches its image data before a frame header");
        return Scan(payload, pos);
    }
    return true;
}

void JpegWalk::Frame(std::uint8_t marker, std::string_view payload) {
    if (m_walk.frame) return;  // libjpeg refuses a second frame
    m_walk.frame = ReadFrame(marker, payload);
    if (m_walk.frame) m_walk.work.frameCoefficients = FrameCoefficients(*m_walk.frame);
}

bool JpegWalk::Scan(std::string_view payload, std::uint64_t& pos) {
    JpegScan scan = ReadScan(payload);
    scan.dataStart = pos;
    scan.dataEnd = EntropyDataEnd(m_source, pos, scan.innerMarker);
    ++m_walk.work.scans;
    if (m_walk.frame) {
        m_walk.work.coefficientReads =
            SaturatingAdd(m_walk.work.coefficientReads, CoefficientReads(*m_walk.frame, scan));
    }
    pos = scan.dataEnd;
    if (m_walk.scans.size() < kMaxListed) m_walk.scans.push_back(std::move(scan));
    if (m_source.length() - pos < 2) {
        NoteProblem(m_walk, "the JPEG data ends before its end-of-image marker");
        return false;
    }
    return true;
}

}  // namespace

void WalkJpeg(ByteSource& source, ImageStructure& walk) { JpegWalk(source, walk).Run(); }

}  // namespace quorvel::structure_walk
