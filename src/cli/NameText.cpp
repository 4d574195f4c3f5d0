#include "cli/NameText.h"

#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <cstdio>
#include <cstring>

namespace quorvel::cli {

namespace {

// Decodes the UTF-8 character at the start of `text`: its code point and
// length, or length 0 when the bytes there are not one.
struct Character {
    char32_t code = 0;
    std::size_t length = 0;
};

Character DecodeUtf8(std::string_view text) {
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

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (const char c : bytes) {
        char escaped[5];
        std::snprintf(escaped, sizeof(escaped), "\\x%02x", static_cast<unsigned char>(c));
        out += escaped;
    }
}

// The C library's case tables for Unicode, whatever the process's locale.
locale_t Utf8Locale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return made != static_cast<locale_t>(nullptr) ? made : LC_GLOBAL_LOCALE;
    }();
    return locale;
}

}  // namespace

std::string TerminalText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const Character c = DecodeUtf8(bytes);
        const std::size_t length = c.length == 0 ? 1 : c.length;
        const bool control =
            c.length == 0 || c.code < 0x20 || c.code == 0x7F || (c.code >= 0x80 && c.code <= 0x9F);
        if (control) {
            AppendEscaped(out, bytes.substr(0, length));
        } else if (c.code == '\\') {
            out += "\\\\";
        } else {
            out.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    return out;
}

std::string FoldedName(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const locale_t locale = Utf8Locale();
    while (!bytes.empty()) {
        const Character c = DecodeUtf8(bytes);
        if (c.length == 0) {
            out += bytes.front();
            bytes.remove_prefix(1);
            continue;
        }
        AppendUtf8(out, static_cast<char32_t>(towlower_l(static_cast<wint_t>(c.code), locale)));
        bytes.remove_prefix(c.length);
    }
    return out;
}

}  // namespace quorvel::cli
