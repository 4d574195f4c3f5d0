#include "core/text/Encoding.h"

#include <iconv.h>

namespace quorvel {

namespace {

// Length of the UTF-8 character at the start of `text`, or 0 when the bytes
// there are not one (a stray continuation byte, an overlong form, a
// surrogate, a cut-off sequence).
std::size_t Utf8CharLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

Converted Utf8ToGbk(std::string_view utf8, std::size_t maxBytes) {
    Converted result;
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return result;
    while (!utf8.empty()) {
        const std::size_t length = Utf8CharLength(utf8);
        char encoded[8];
        std::size_t encodedLength = 1;
        encoded[0] = '?';
        if (length > 0) {
            char* in = const_cast<char*>(utf8.data());
            std::size_t inLeft = length;
            char* out = encoded;
            std::size_t outLeft = sizeof(encoded);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)) {
                encodedLength = sizeof(encoded) - outLeft;
            } else {
                encoded[0] = '?';
                encodedLength = 1;
            }
        }
        if (result.bytes.size() + encodedLength > maxBytes) {
            result.truncated = true;
            break;
        }
        result.bytes.append(encoded, encodedLength);
        utf8.remove_prefix(length > 0 ? length : 1);
    }
    iconv_close(cd);
    return result;
}

std::string ValidUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = Utf8CharLength(bytes);
        if (length == 0) {
            text += kReplacement;
            bytes.remove_prefix(1);
        } else {
            text.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return text;
}

std::string FileNameText(const std::filesystem::path& fileName) {
    const std::string text = ValidUtf8(fileName.native());
    // A control character in a name (a line end, an escape) would let the
    // name forge or break log entries: each becomes '?'.
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;  // U+0080..U+009F
        if (byte < 0x20 || byte == 0x7F || c1) {
            shown += '?';
            if (c1) ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

}  // namespace quorvel
