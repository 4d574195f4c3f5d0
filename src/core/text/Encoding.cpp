#include "core/text/Encoding.h"

#include <iconv.h>

namespace quorvel {

Utf8Character DecodeUtf8(std::string_view text) {
    if (text.empty()) return {};
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return {};
    }
    if (text.size() < length) return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {};
        code = (code << 6) | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {code, length};
}

namespace {

std::size_t Utf8CharLength(std::string_view text) { return DecodeUtf8(text).length; }

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
