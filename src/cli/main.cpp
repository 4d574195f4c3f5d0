#include <unistd.h>

#include <iostream>
#include <opencv2/core/utils/logger.hpp>

#include "cli/AuditCommand.h"

int main(int argc, char** argv) {
    // Every outcome is reported in the JSON lines or as a message of our own;
    // the image library's warnings (an unreadable photo) would only add noise.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);

    using namespace quorvel::cli;
    const ParsedCommand parsed = ParseCommandLine(argc, argv, std::cout, std::cerr);
    if (!parsed.options) return parsed.exitStatus;
    return RunCommand(*parsed.options, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
