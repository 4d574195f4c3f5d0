#pragma once

#include <string>
#include <string_view>

namespace quorvel::cli {

// What quorvel-audit does, in a line: the manual page's name line.
inline constexpr std::string_view kSummary = "audit identity photos as the Quorvel window does";

// What --help prints, made from the option table in the GNU layout: the usage
// lines, the options in groups, the exit statuses; no line is wider than 80
// columns.
std::string HelpText();

// The manual page's own sections (NAME, SYNOPSIS, DESCRIPTION, OPTIONS,
// EXIT STATUS) in roff, from the same table; `date` is the page's date.
// The build appends the sections written by hand (packaging/).
std::string ManualPage(std::string_view version, std::string_view date);

}  // namespace quorvel::cli
