#include "core/io/ImageHeader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>

#include "core/common/ErrorText.h"
#include "core/rules/Rules.h"

namespace quorvel {

namespace {

// Bytes at any offset, from memory or from a file through a window that is
// refilled with pread, so a walk over many small segments reads the file in
// large blocks and never holds more than the window.
class ByteSource {
public:
    explicit ByteSource(std::string_view bytes) : m_memory(bytes), m_length(bytes.size()) {}
    explicit ByteSource(const RegularFile& file) : m_file(&file), m_length(file.length()) {}

    std::uint64_t length() const { return m_length; }
    std::optional<Error> failure() const { return m_failure; }

    // Up to `count` bytes (at most kWindow) at `offset`; fewer at the end.
    std::string_view At(std::uint64_t offset, std::size_t count) {
        if (offset >= m_length) return {};
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_length - offset));
        if (m_file == nullptr) return m_memory.substr(static_cast<std::size_t>(offset), count);
        if (offset < m_windowStart || offset + count > m_windowStart + m_window.size()) {
            Fill(offset);
        }
        const std::string_view window(m_window);
        const std::size_t from = static_cast<std::size_t>(offset - m_windowStart);
        return window.substr(std::min(from, window.size()), count);
    }

    static constexpr std::size_t kWindow = 65536;

private:
    void Fill(std::uint64_t offset) {
        m_window.resize(kWindow);
        m_windowStart = offset;
        std::size_t done = 0;
        while (done < kWindow) {
            const ssize_t got = ::pread(m_file->descriptor(), m_window.data() + done,
                                        kWindow - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                const int code = errno;
                m_failure =
                    Fail(ErrorKind::NotReadable, ErrnoText("cannot read the file", code), code);
                break;
            }
            if (got == 0) break;
            done += static_cast<std::size_t>(got);
        }
        m_window.resize(done);
    }

    std::string_view m_memory;
    const RegularFile* m_file = nullptr;
    std::uint64_t m_length = 0;
    std::string m_window;
    std::uint64_t m_windowStart = 0;
    std::optional<Error> m_failure;
};

std::uint32_t Byte(std::string_view b, std::size_t i) { return static_cast<std::uint8_t>(b[i]); }
std::uint32_t Big16(std::string_view b, std::size_t i) { return Byte(b, i) << 8 | Byte(b, i + 1); }
std::uint32_t Little16(std::string_view b, std::size_t i) {
    return Byte(b, i + 1) << 8 | Byte(b, i);
}
std::uint32_t Big32(std::string_view b, std::size_t i) {
    return Big16(b, i) << 16 | Big16(b, i + 2);
}
std::uint32_t Little32(std::string_view b, std::size_t i) {
    return Little16(b, i + 2) << 16 | Little16(b, i);
}

Error Malformed(ImageFormat format, const std::string& what) {
    return Fail(ErrorKind::BadContent, std::string(ImageFormatName(format)) + " header " + what);
}

Result<ImageHeader> Sized(ImageFormat format, std::uint64_t width, std::uint64_t height) {
    if (width > UINT32_MAX || height > UINT32_MAX)
        return Malformed(format, "claims an absurd size");
    return ImageHeader{format, static_cast<std::uint32_t>(width),
                       static_cast<std::uint32_t>(height)};
}

bool IsStartOfFrame(std::uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the segments from the start of image to the first frame header.
Result<ImageHeader> ReadJpeg(ByteSource& source) {
    std::uint64_t pos = 2;
    while (true) {
        const std::string_view head = source.At(pos, 2);
        if (head.size() < 2) return Malformed(ImageFormat::Jpeg, "ends before its frame header");
        if (Byte(head, 0) != 0xFF)
            return Malformed(ImageFormat::Jpeg, "has no marker where one belongs");
        const std::uint32_t marker = Byte(head, 1);
        if (marker == 0xFF) {  // fill byte before a marker
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length follows
            pos += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) {
            return Malformed(ImageFormat::Jpeg, "reaches its image data before a frame header");
        }
        const std::string_view segment = source.At(pos + 2, IsStartOfFrame(marker) ? 7 : 2);
        if (segment.size() < 2) return Malformed(ImageFormat::Jpeg, "ends inside a segment");
        const std::uint32_t length = Big16(segment, 0);
        if (length < 2)
            return Malformed(ImageFormat::Jpeg, "has a segment shorter than its length");
        if (IsStartOfFrame(marker)) {
            if (segment.size() < 7)
                return Malformed(ImageFormat::Jpeg, "ends inside its frame header");
            return Sized(ImageFormat::Jpeg, Big16(segment, 5), Big16(segment, 3));
        }
        pos += 2 + length;
    }
}

Result<ImageHeader> ReadPng(ByteSource& source) {
    const std::string_view head = source.At(8, 16);
    if (head.size() < 16 || head.substr(4, 4) != "IHDR") {
        return Malformed(ImageFormat::Png, "has no image header chunk");
    }
    return Sized(ImageFormat::Png, Big32(head, 8), Big32(head, 12));
}

Result<ImageHeader> ReadBmp(ByteSource& source) {
    const std::string_view head = source.At(14, 12);
    if (head.size() < 8) return Malformed(ImageFormat::Bmp, "is cut short");
    const std::uint32_t infoSize = Little32(head, 0);
    if (infoSize == 12) return Sized(ImageFormat::Bmp, Little16(head, 4), Little16(head, 6));
    if (head.size() < 12 || infoSize < 16) return Malformed(ImageFormat::Bmp, "is cut short");
    const auto width = static_cast<std::int32_t>(Little32(head, 4));
    const auto height = static_cast<std::int32_t>(Little32(head, 8));  // negative: top row first
    if (width < 0) return Malformed(ImageFormat::Bmp, "claims a negative width");
    const std::int64_t rows = height;
    return Sized(ImageFormat::Bmp, static_cast<std::uint64_t>(width),
                 static_cast<std::uint64_t>(rows < 0 ? -rows : rows));
}

Result<ImageHeader> ReadWebP(ByteSource& source) {
    const std::string_view chunk = source.At(12, 18);
    if (chunk.size() < 18) return Malformed(ImageFormat::WebP, "is cut short");
    const std::string_view kind = chunk.substr(0, 4);
    if (kind == "VP8X") {  // extended: 24-bit canvas size minus one
        const std::uint64_t width = (Little32(chunk, 12) & 0xFFFFFF) + 1;
        const std::uint64_t height = (Little32(chunk, 14) >> 8) + 1;
        return Sized(ImageFormat::WebP, width, height);
    }
    if (kind == "VP8L") {  // lossless: signature, then 14-bit sizes minus one
        if (Byte(chunk, 8) != 0x2F)
            return Malformed(ImageFormat::WebP, "has a bad lossless signature");
        const std::uint32_t bits = Little32(chunk, 9);
        return Sized(ImageFormat::WebP, (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    }
    if (kind == "VP8 ") {  // lossy key frame: start code, then 14-bit sizes
        if (chunk.substr(11, 3) != "\x9D\x01\x2A") {
            return Malformed(ImageFormat::WebP, "has no key frame start code");
        }
        return Sized(ImageFormat::WebP, Little16(chunk, 14) & 0x3FFF, Little16(chunk, 16) & 0x3FFF);
    }
    return Malformed(ImageFormat::WebP, "has no image chunk first");
}

// The first page's ImageWidth (256) and ImageLength (257), classic or BigTIFF.
Result<ImageHeader> ReadTiff(ByteSource& source, bool little, bool big) {
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
    if (head.size() < (big ? 12u : 4u)) return Malformed(ImageFormat::Tiff, "is cut short");
    const std::uint64_t ifd = big ? u64(head, 4) : u32(head, 0);
    const std::string_view countBytes = source.At(ifd, big ? 8 : 2);
    if (countBytes.size() < (big ? 8u : 2u))
        return Malformed(ImageFormat::Tiff, "has no first page");
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
    if (!width || !height) return Malformed(ImageFormat::Tiff, "gives no size for its first page");
    return Sized(ImageFormat::Tiff, *width, *height);
}

Result<ImageHeader> ReadHeader(ByteSource& source) {
    const std::string_view start = source.At(0, 12);
    auto starts = [start](std::string_view signature) {
        return start.substr(0, signature.size()) == signature;
    };
    Result<ImageHeader> header = ImageHeader{};
    if (starts("\xFF\xD8")) {
        header = ReadJpeg(source);
    } else if (starts("\x89PNG\r\n\x1A\n")) {
        header = ReadPng(source);
    } else if (starts("BM")) {
        header = ReadBmp(source);
    } else if (starts("RIFF") && start.size() == 12 && start.substr(8, 4) == "WEBP") {
        header = ReadWebP(source);
    } else if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4))) {
        header = ReadTiff(source, start[0] == 'I', false);
    } else if (starts(std::string_view("II+\0", 4)) || starts(std::string_view("MM\0+", 4))) {
        header = ReadTiff(source, start[0] == 'I', true);
    }
    if (std::optional<Error> failure = source.failure()) return *failure;
    return header;
}

}  // namespace

const char* ImageFormatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::Jpeg:
            return "JPEG";
        case ImageFormat::Png:
            return "PNG";
        case ImageFormat::Bmp:
            return "BMP";
        case ImageFormat::WebP:
            return "WebP";
        case ImageFormat::Tiff:
            return "TIFF";
        case ImageFormat::Other:
            break;
    }
    return "image";
}

Result<ImageHeader> ReadImageHeader(std::string_view bytes) {
    ByteSource source(bytes);
    return ReadHeader(source);
}

Result<ImageHeader> ReadImageHeader(const RegularFile& file) {
    ByteSource source(file);
    Result<ImageHeader> header = ReadHeader(source);
    if (!header && header.error().kind == ErrorKind::NotReadable) {
        Error error = header.error();
        error.path = file.path();
        return error;
    }
    return header;
}

Result<void> CheckPixelCap(const ImageHeader& header) {
    if (header.pixels() <= rules::kMaxPhotoPixels) return {};
    return Fail(ErrorKind::TooLarge, std::string(ImageFormatName(header.format)) + " claims " +
                                         std::to_string(header.width) + " x " +
                                         std::to_string(header.height) + " pixels, more than the " +
                                         std::to_string(rules::kMaxPhotoPixels) + " read");
}

}  // namespace quorvel
