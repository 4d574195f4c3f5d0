#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/common/Result.h"
#include "core/io/ScratchFiles.h"

namespace quorvel {

// What image libraries write to standard error while they decode a photo
// (libjpeg's "Premature end of JPEG file"), taken off the terminal and given
// back as that photo's warnings. Standard error is one descriptor for the
// whole process, so decodes under a capture run one at a time, and the
// program writes its own messages to a copy of standard error kept aside
// (programErrors()), never to descriptor 2 itself.
class LibraryMessages {
public:
    // Keeps a copy of standard error and makes the file that receives the
    // libraries' messages (in memory, never named).
    static Result<LibraryMessages> Open();

    LibraryMessages(LibraryMessages&&) noexcept;
    LibraryMessages& operator=(LibraryMessages&&) noexcept;
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;
    ~LibraryMessages();

    // The copy of standard error, for the program's own messages.
    int programErrors() const { return m_program.get(); }

    // Runs `work` with standard error pointed at the capture, one caller at
    // a time, and returns the lines written meanwhile (trimmed, empty ones
    // left out; at most 64 KiB of them are read).
    std::vector<std::string> During(const std::function<void()>& work);

private:
    struct State;
    explicit LibraryMessages(std::unique_ptr<State> state, Descriptor program);

    std::unique_ptr<State> m_state;
    Descriptor m_program;
};

}  // namespace quorvel
