#include <unistd.h>

#include <csignal>
#include <iostream>
#include <opencv2/core/utils/logger.hpp>

#include "cli/AuditCommand.h"
#include "core/io/AtomicFile.h"

namespace {

// The files being written; an interrupted run removes them before it ends.
quorvel::TemporaryFiles g_temporaries;

extern "C" void RemoveTemporariesAndEnd(int signal) {
    g_temporaries.RemoveAll();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void RemoveTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Every outcome is reported in the JSON lines or as a message of our own;
    // the image library's warnings (an unreadable photo) would only add noise.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    RemoveTemporariesOnSignals();

    using namespace quorvel::cli;
    const ParsedCommand parsed = ParseCommandLine(argc, argv, std::cout, std::cerr);
    if (!parsed.options) return parsed.exitStatus;
    const CommandStreams streams{std::cin, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1,
                                 &g_temporaries};
    return RunCommand(*parsed.options, streams);
}
