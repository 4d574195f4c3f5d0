#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel {

// Text is UTF-8 everywhere in the core; it becomes GBK only where the log
// writes it.

// The result of a conversion that may have had to stop early.
struct Converted {
    std::string bytes;
    bool truncated = false;  // stopped before a character that would pass the limit
};

// The UTF-8 character at the start of some bytes: its code point and
// length, or length 0 when the bytes there are not one (a stray continuation
// byte, an overlong form, a surrogate, a cut-off sequence).
struct Utf8Character {
    char32_t code = 0;
    std::size_t length = 0;
};
Utf8Character DecodeUtf8(std::string_view bytes);

// UTF-8 to GBK, one character at a time: a character GBK lacks, and each
// byte that is not part of a UTF-8 character, becomes '?'. Stops before the
// first character that would take the result past maxBytes.
Converted Utf8ToGbk(std::string_view utf8, std::size_t maxBytes = std::string::npos);

// The bytes as valid UTF-8: each byte that is not part of a UTF-8 character
// becomes U+FFFD.
std::string ValidUtf8(std::string_view bytes);

// A file name as log text: its bytes as valid UTF-8, each control character
// (C0, DEL, C1) as '?'.
std::string FileNameText(const std::filesystem::path& fileName);

}  // namespace quorvel
