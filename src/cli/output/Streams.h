#pragma once

#include <atomic>
#include <iosfwd>

#include "core/io/AtomicFile.h"
#include "core/io/LibraryMessages.h"

namespace quorvel::cli {

// How a run shows where it stands on standard error.
enum class ProgressStyle {
    None,
    Lines,    // a line per photo (--progress when standard error is not a terminal)
    InPlace,  // one line updated in place (a terminal)
};

// Where a command reads and writes.
struct CommandStreams {
    std::istream& in;   // the list of --files-from -
    std::ostream& out;  // JSON lines
    std::ostream& err;  // messages and progress
    ProgressStyle progress = ProgressStyle::None;
    TemporaryFiles* temporaries = nullptr;    // files being written, for a signal handler
    const std::atomic<bool>* stop = nullptr;  // set by a signal: finish the photos in hand
    // What image libraries write to standard error while decoding, taken
    // for the photo's warnings; `err` is then not descriptor 2 itself.
    LibraryMessages* libraryMessages = nullptr;
};

}  // namespace quorvel::cli
