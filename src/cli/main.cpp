#include <unistd.h>

#include <atomic>
#include <csignal>
#include <exception>
#include <iostream>
#include <opencv2/core/utils/logger.hpp>

#include "cli/modes/Command.h"
#include "cli/output/DescriptorStream.h"
#include "core/io/AtomicFile.h"
#include "core/io/LibraryMessages.h"

namespace {

// The files being written; a run ended by a signal removes them first.
quorvel::TemporaryFiles g_temporaries;

// Set by the first SIGINT or SIGTERM: the run finishes the photos in hand,
// writes what it has and ends.
std::atomic<bool> g_stop{false};

extern "C" void RemoveTemporariesAndEnd(int signal) {
    g_temporaries.RemoveAll();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

extern "C" void StopAfterThePhotosInHand(int signal) {
    // A second interruption ends the run at once.
    if (g_stop.exchange(true)) RemoveTemporariesAndEnd(signal);
}

void HandleSignals() {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = StopAfterThePhotosInHand;
    for (const int signal : {SIGINT, SIGTERM}) sigaction(signal, &action, nullptr);
    action.sa_handler = RemoveTemporariesAndEnd;
    for (const int signal : {SIGHUP, SIGPIPE}) sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // Every outcome is reported in the JSON lines or as a message of our own;
    // the image library's warnings (an unreadable photo) would only add noise.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    HandleSignals();

    using namespace quorvel::cli;
    const ParsedCommand parsed = ParseCommandLine(argc, argv, std::cout, std::cerr);
    if (!parsed.options) return parsed.exitStatus;
    const ProgressStyle progress = ::isatty(STDERR_FILENO) == 1 ? ProgressStyle::InPlace
                                   : parsed.options->progress   ? ProgressStyle::Lines
                                                                : ProgressStyle::None;
    // The image libraries' own messages ("Premature end of JPEG file") are
    // each photo's warnings, never raw text on the terminal: the program
    // writes to a copy of standard error while they are captured.
    quorvel::Result<quorvel::LibraryMessages> captured = quorvel::LibraryMessages::Open();
    quorvel::LibraryMessages* messages = captured ? &captured.value() : nullptr;
    DescriptorStream programErrors(messages != nullptr ? messages->programErrors() : STDERR_FILENO);
    CommandStreams streams{std::cin, std::cout, programErrors, progress, &g_temporaries, &g_stop};
    streams.libraryMessages = messages;
    try {
        return RunCommand(*parsed.options, streams);
    } catch (const std::exception& e) {
        // Out of memory outside any one photo's audit (each photo's own is
        // its line's error): said plainly, the files being written removed.
        g_temporaries.RemoveAll();
        programErrors << "quorvel-audit: " << e.what() << '\n';
        return kExitSomeFailed;
    }
}
