#pragma once

namespace quorvel::cli {

// The text of --help, in the GNU layout (help2man makes the manual page from
// it): one usage block, the options in groups, the exit statuses; no line is
// wider than 80 columns.
extern const char* const kHelpText;

}  // namespace quorvel::cli
