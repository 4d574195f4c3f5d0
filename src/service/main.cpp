#include <pthread.h>

#include <csignal>
#include <iostream>
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>

#include "service/CpuBudget.h"
#include "service/HttpServer.h"
#include "service/ServiceOptions.h"
#include "service/VerifyPool.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCannotStart = 1;

// SIGTERM and SIGINT are taken by sigwait in main, never by a handler: every
// thread started from here inherits the blocked set.
sigset_t BlockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return set;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorvel::service;
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    // One verification per worker, each single-threaded: the workers are the
    // parallelism, sized to the CPUs this process may use.
    cv::setNumThreads(0);
    const sigset_t stopSignals = BlockStopSignals();

    const ParsedService parsed =
        ParseServiceCommandLine(argc, argv, UsableCpus(), std::cout, std::cerr);
    if (!parsed.options) return parsed.exitStatus;
    const ServiceOptions& options = *parsed.options;

    auto pool = VerifyPool::Start(options.cascade, options.workers,
                                  static_cast<std::size_t>(options.queue));
    if (!pool) {
        std::cerr << "quorvel-verifyd: " << pool.error().message << "\n";
        return kExitUsage;
    }
    auto server = HttpServer::Start(options, **pool, std::cerr);
    if (!server) {
        std::cerr << "quorvel-verifyd: " << server.error().message << "\n";
        return kExitCannotStart;
    }
    const bool v6 = options.host.find(':') != std::string::npos;
    (*server)->Log("quorvel-verifyd: listening on " +
                   (v6 ? "[" + options.host + "]" : options.host) + ":" +
                   std::to_string((*server)->Port()) + " (workers " +
                   std::to_string(options.workers) + ", queue " + std::to_string(options.queue) +
                   ", color " + std::to_string(static_cast<int>(options.settings.color)) +
                   ", size " + std::to_string(static_cast<int>(options.settings.size)) + ")");

    int signal = 0;
    sigwait(&stopSignals, &signal);
    (*server)->Log(
        "quorvel-verifyd: stopping: no new connections, finishing the requests in flight");
    (*server)->StopAccepting();
    const bool idle = (*server)->WaitIdle(std::chrono::seconds(options.drainTimeout));
    // The workers finish what they hold (resuming its connections) before the
    // connections are closed.
    pool->reset();
    server->reset();
    std::cerr << "quorvel-verifyd: stopped" << (idle ? "" : " (requests were still in flight)")
              << std::endl;
    return 0;
}
