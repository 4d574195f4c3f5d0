#pragma once

#include <iosfwd>
#include <string>

namespace quorvel::cli {

// The program's name, first in its messages.
inline constexpr const char* kProgramName = "quorvel-audit";

// A message on standard error, "quorvel-audit: " first; names in it are
// shown escaped, so that no byte of a file name acts on the terminal.
void PrintMessage(std::ostream& err, const std::string& text);

// Prints a line and reports whether it reached the stream.
bool PrintLine(std::ostream& out, const std::string& line);

}  // namespace quorvel::cli
