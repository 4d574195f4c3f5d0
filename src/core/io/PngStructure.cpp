// The walk of PNG data: each chunk's length, type and CRC to the first IEND;
// the compressed ancillary chunks and the image data inflated as libpng
// inflates them, the output counted and dropped.
#include <zlib.h>

#include <algorithm>
#include <array>

#include "core/io/StructureWalk.h"
#include "core/rules/Rules.h"

namespace quorvel::structure_walk {

namespace {

// One zlib stream, inflated into a scratch buffer and counted.
class Inflater {
public:
    Inflater() { m_ready = inflateInit(&m_stream) == Z_OK; }
    ~Inflater() {
        if (m_ready) inflateEnd(&m_stream);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates `input` until it is used up, the stream ends or breaks, or
    // the output passes `limit`. Input after the stream's end is counted.
    // With `kept`, the output's first `keep` bytes are appended there.
    void Feed(std::string_view input, std::uint64_t limit, std::string* kept = nullptr,
              std::uint64_t keep = 0) {
        if (!m_ready || !m_damage.empty() || Out() > limit) return;
        if (m_ended) {
            m_afterEnd += input.size();
            return;
        }
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
        m_stream.avail_in = static_cast<uInt>(input.size());
        std::array<Bytef, 16384> scratch;
        while (Out() <= limit) {
            m_stream.next_out = scratch.data();
            m_stream.avail_out = static_cast<uInt>(scratch.size());
            const std::uint64_t before = Out();
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            if (kept != nullptr && before < keep) {
                if (kept->empty()) kept->reserve(static_cast<std::size_t>(keep));
                const std::uint64_t wanted = std::min(Out(), keep) - before;
                kept->append(reinterpret_cast<const char*>(scratch.data()),
                             static_cast<std::size_t>(wanted));
            }
            if (status == Z_STREAM_END) {
                m_ended = true;
                m_afterEnd += m_stream.avail_in;
                return;
            }
            if (status == Z_BUF_ERROR && m_stream.avail_in == 0) return;  // wants more input
            if (status != Z_OK) {
                m_damage = m_stream.msg != nullptr ? m_stream.msg : "the zlib stream is broken";
                return;
            }
            if (m_stream.avail_in == 0 && m_stream.avail_out != 0) return;
        }
    }

    std::uint64_t Out() const { return m_stream.total_out; }
    bool ended() const { return m_ended; }
    std::uint64_t afterEnd() const { return m_afterEnd; }
    const std::string& damage() const { return m_damage; }

private:
    z_stream m_stream{};
    bool m_ready = false;
    bool m_ended = false;
    std::uint64_t m_afterEnd = 0;
    std::string m_damage;
};

// The bytes of the rows a PNG header asks for, filter bytes included
// (Adam7's seven passes when interlaced); none for a header libpng refuses.
std::optional<std::uint64_t> RowBytes(std::string_view ihdr) {
    const std::uint64_t width = Big32(ihdr, 0), height = Big32(ihdr, 4);
    const std::uint32_t depth = Byte(ihdr, 8), colour = Byte(ihdr, 9), interlace = Byte(ihdr, 12);
    const int channels = colour == 0 ? 1 : colour == 2 ? 3 : colour == 3 ? 1 : colour == 4 ? 2 : 4;
    if (colour == 1 || colour == 5 || colour > 6) return std::nullopt;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return std::nullopt;
    if (width * height > rules::kMaxPhotoPixels || interlace > 1) return std::nullopt;
    const std::uint64_t bits = depth * static_cast<std::uint64_t>(channels);
    auto pass = [bits](std::uint64_t w, std::uint64_t h) {
        return w == 0 || h == 0 ? 0 : h * (1 + (w * bits + 7) / 8);
    };
    if (interlace == 0) return pass(width, height);
    static constexpr int kStart[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
    static constexpr int kStep[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};
    std::uint64_t total = 0;
    for (int p = 0; p < 7; ++p) {
        const std::uint64_t w = width > static_cast<std::uint64_t>(kStart[p][0])
                                    ? (width - kStart[p][0] + kStep[p][0] - 1) / kStep[p][0]
                                    : 0;
        const std::uint64_t h = height > static_cast<std::uint64_t>(kStart[p][1])
                                    ? (height - kStart[p][1] + kStep[p][1] - 1) / kStep[p][1]
                                    : 0;
        total += pass(w, h);
    }
    return total;
}

// The first zero byte of [from, to), when there is one.
std::optional<std::uint64_t> FindZero(ByteSource& source, std::uint64_t from, std::uint64_t to) {
    while (from < to) {
        std::string_view piece = source.From(from);
        if (piece.empty()) return std::nullopt;
        piece = piece.substr(
            0, static_cast<std::size_t>(std::min<std::uint64_t>(to - from, piece.size())));
        const std::size_t zero = piece.find('\0');
        if (zero != std::string_view::npos) return from + zero;
        from += piece.size();
    }
    return std::nullopt;
}

// Where the compressed stream of a zTXt, iCCP or compressed iTXt chunk
// starts within its data, as libpng finds it; none for other chunks and for
// those libpng does not inflate (a bad keyword, another compression method).
std::optional<std::uint64_t> CompressedFrom(ByteSource& source, const PngChunk& chunk) {
    const std::string type = chunk.type;
    if (type != "zTXt" && type != "iCCP" && type != "iTXt") return std::nullopt;
    const std::uint64_t data = chunk.dataOffset(), end = data + chunk.length;
    const std::optional<std::uint64_t> keywordEnd =
        FindZero(source, data, std::min<std::uint64_t>(end, data + 80));
    if (!keywordEnd || *keywordEnd == data) return std::nullopt;
    const std::string_view flags = source.At(*keywordEnd + 1, 2);
    if (type != "iTXt") {
        if (flags.empty() || Byte(flags, 0) != 0) return std::nullopt;
        return *keywordEnd + 2 - data;
    }
    if (flags.size() < 2 || Byte(flags, 0) != 1 || Byte(flags, 1) != 0) return std::nullopt;
    const std::optional<std::uint64_t> language = FindZero(source, *keywordEnd + 3, end);
    if (!language) return std::nullopt;
    const std::optional<std::uint64_t> translated = FindZero(source, *language + 1, end);
    if (!translated || *translated + 1 >= end) return std::nullopt;
    return *translated + 1 - data;
}

class PngWalk {
public:
    PngWalk(ByteSource& source, ImageStructure& walk, std::uint64_t keepRowsUpTo)
        : m_source(source), m_walk(walk), m_keepRowsUpTo(keepRowsUpTo) {}

    void Run();

private:
    // Reads the chunk's data once: its CRC, and what it inflates to.
    bool CheckAndInflate(const PngChunk& chunk);

    ByteSource& m_source;
    ImageStructure& m_walk;
    std::uint64_t m_keepRowsUpTo = 0;
    Inflater m_imageData;
};

void PngWalk::Run() {
    const std::string_view head = m_source.At(8, 16);
    if (head.size() < 16 || head.substr(4, 4) != "IHDR") {
        m_walk.headerProblem = "PNG header has no image header chunk";
    } else {
        m_walk.header = ImageHeader{ImageFormat::Png, Big32(head, 8), Big32(head, 12)};
    }
    const std::uint64_t length = m_source.length();
    std::uint64_t pos = 8;  // past the signature
    while (true) {
        const std::string_view top = m_source.At(pos, 8);
        if (length - pos < 12 || top.size() < 8) {
            NoteProblem(m_walk, "the PNG data ends before its IEND chunk");
            return;
        }
        PngChunk chunk{std::string(top.substr(4, 4)), pos, Big32(top, 0), false};
        if (chunk.length > 0x7FFFFFFFU || length - pos - 12 < chunk.length) {
            NoteProblem(m_walk, "the PNG data ends inside the chunk at " + Offset(pos));
            return;
        }
        if (chunk.type == "IHDR" && chunk.length >= 13 && pos == 8) {
            const std::optional<std::uint64_t> rows = RowBytes(m_source.At(pos + 8, 13));
            if (rows) {
                m_walk.imageData.emplace();
                m_walk.imageData->rowBytes = *rows;
            }
        }
        chunk.crcMatches = CheckAndInflate(chunk);
        if (!chunk.crcMatches) {
            NoteProblem(m_walk, "the PNG chunk at " + Offset(pos) + " has a wrong CRC");
        }
        pos = chunk.end();
        const bool last = chunk.type == "IEND";
        if (m_walk.chunks.size() < kMaxListed) m_walk.chunks.push_back(std::move(chunk));
        if (last) {
            if (m_walk.problem.empty()) m_walk.end = pos;
            return;
        }
    }
}

bool PngWalk::CheckAndInflate(const PngChunk& chunk) {
    const std::optional<std::uint64_t> compressedFrom = CompressedFrom(m_source, chunk);
    const bool image = chunk.type == "IDAT" && m_walk.imageData;
    std::optional<Inflater> ancillary;
    if (compressedFrom) ancillary.emplace();
    DecodingWork& work = m_walk.work;
    const std::uint64_t chunkLimit =
        rules::kMaxPngInflatedChunkBytes -
        std::min(work.inflatedChunkBytes, rules::kMaxPngInflatedChunkBytes);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.type.data()), 4);
    for (std::uint64_t done = 0; done < chunk.length;) {
        std::string_view piece = m_source.From(chunk.dataOffset() + done);
        if (piece.empty()) return false;
        piece = piece.substr(0, static_cast<std::size_t>(
                                    std::min<std::uint64_t>(chunk.length - done, piece.size())));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.data()),
                    static_cast<uInt>(piece.size()));
        if (compressedFrom && done + piece.size() > *compressedFrom) {
            const std::size_t skip =
                static_cast<std::size_t>(std::max<std::uint64_t>(*compressedFrom, done) - done);
            ancillary->Feed(piece.substr(skip), chunkLimit);
        }
        if (image) {
            PngImageData& data = *m_walk.imageData;
            const bool keep = data.rowBytes <= m_keepRowsUpTo;
            m_imageData.Feed(piece, data.rowBytes + rules::kMaxPngImageDataExcess,
                             keep ? &data.rows : nullptr, data.rowBytes);
        }
        done += piece.size();
    }
    if (ancillary) work.inflatedChunkBytes += ancillary->Out();
    if (image) {
        PngImageData& data = *m_walk.imageData;
        data.inflatedBytes = m_imageData.Out();
        data.streamEnded = m_imageData.ended();
        data.bytesAfterStream = m_imageData.afterEnd();
        data.damage = m_imageData.damage();
        work.imageDataExcess = data.inflatedBytes - std::min(data.inflatedBytes, data.rowBytes);
    }
    const std::string_view stored = m_source.At(chunk.dataOffset() + chunk.length, 4);
    return stored.size() == 4 && Big32(stored, 0) == (crc & 0xFFFFFFFFU);
}

}  // namespace

void WalkPng(ByteSource& source, ImageStructure& walk, std::uint64_t keepRowsUpTo) {
    PngWalk(source, walk, keepRowsUpTo).Run();
}

}  // namespace quorvel::structure_walk
