#pragma once

#include <string>
#include <string_view>

namespace quorvel::cli {

// File names are data: whatever bytes they hold must not act on the terminal
// or be taken for another name.

// Text for a terminal: each control byte (C0, DEL), each C1 control character
// and each byte that is not part of a UTF-8 character is shown as \xNN, and
// a backslash as \\; everything else is kept.
std::string TerminalText(std::string_view bytes);

// A name as a case-insensitive file system compares it: UTF-8 characters in
// lower case (bytes that are not UTF-8 are kept as they are).
std::string FoldedName(std::string_view bytes);

}  // namespace quorvel::cli
