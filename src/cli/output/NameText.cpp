#include "cli/output/NameText.h"

#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <cstdio>
#include <cstring>

#include "core/text/Encoding.h"

namespace quorvel::cli {

namespace {

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
        const Utf8Character c = DecodeUtf8(bytes);
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
        const Utf8Character c = DecodeUtf8(bytes);
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
