#pragma once

#include <cstddef>
#include <string>

#include "cli/options/CommandOptions.h"

namespace quorvel::cli {

// What a run stopped by Ctrl+C says: how many photos were done and the
// exact command that goes on, with the redirections it needs. When standard
// output is a regular file the command names it: with --resume it appends
// to it (">>"); without, that file becomes the results to go on from, so
// the shell never empties it. Standard output to /dev/null stays there; a
// list read from standard input that is a file is read from it again.
std::string GoOnMessage(const AuditOptions& options, std::size_t done, std::size_t total);

// A shell word for the argument: as it is when it needs no quoting,
// otherwise in single quotes.
std::string ShellWord(const std::string& argument);

}  // namespace quorvel::cli
