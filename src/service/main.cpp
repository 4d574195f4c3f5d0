#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>

#include "service/CpuBudget.h"
#include "service/HttpServer.h"
#include "service/LineLog.h"
#include "service/ServiceOptions.h"
#include "service/SignalWatch.h"
#include "service/VerifyPool.h"

namespace {

using namespace quorvel::service;

constexpr int kExitUsage = 2;
constexpr int kExitCannotStart = 1;
// Descriptors beyond the connections: listeners, epoll, the log, libraries.
constexpr rlim_t kSpareDescriptors = 64;

bool Wildcard(const std::string& host) {
    in6_addr v6{};
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return v4.s_addr == htonl(INADDR_ANY);
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_UNSPECIFIED(&v6);
}

// What an operator should know before the service serves.
void WarnAboutDeployment(const ServiceOptions& options, LineLog& log) {
    if (::geteuid() == 0) {
        log.Write(
            "quorvel-verifyd: warning: running as root; the service needs no privilege: run it "
            "as an unprivileged user (the systemd unit and the container image do)");
    }
    for (const auto& [option, host] :
         {std::pair{"--listen", options.host}, std::pair{"--probe-listen", options.probeHost}}) {
        if (host.empty() || !Wildcard(host)) continue;
        log.Write(std::string("quorvel-verifyd: warning: ") + option + " " + host +
                  " listens on every address of the machine; give the address its clients "
                  "reach, and keep others out with a firewall or a NetworkPolicy");
    }
}

// Every connection is a descriptor: the soft limit is raised towards the
// hard one so that --max-connections can be reached.
void RaiseDescriptorLimit(const ServiceOptions& options, LineLog& log) {
    const rlim_t needed = static_cast<rlim_t>(options.maxConnections) + kSpareDescriptors;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= needed) return;
    const rlim_t current = limit.rlim_cur;
    limit.rlim_cur = std::min(needed, limit.rlim_max);
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) limit.rlim_cur = current;
    if (limit.rlim_cur < needed) {
        log.Write("quorvel-verifyd: warning: only " + std::to_string(limit.rlim_cur) +
                  " file descriptors may be open: fewer connections than --max-connections " +
                  std::to_string(options.maxConnections) + " can be served");
    }
}

std::string Shown(const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

// SIGTERM: no new connections, the queued uploads answered 503, the ones
// being verified finished; within --drain whatever happens.
void Drain(std::unique_ptr<HttpServer>& server, std::unique_ptr<VerifyPool>& pool,
           const ServiceOptions& options, LineLog& log) {
    using std::chrono::milliseconds;
    log.Write("quorvel-verifyd: stopping: no new connections, finishing the requests in flight");
    const auto end = Clock::now() + std::chrono::seconds(options.drainTimeout);
    server->StopAccepting();
    pool->CloseQueue();
    // The last quarter of the drain (at most 2 s) is left to the work told
    // to stop at its next stage, and to the answers.
    const milliseconds grace =
        std::min(milliseconds(options.drainTimeout * 1000 / 4), milliseconds(2000));
    const auto left = [&] {
        return std::max(milliseconds(0),
                        std::chrono::duration_cast<milliseconds>(end - Clock::now()));
    };
    bool idle = server->WaitIdle(left() - grace);
    if (!idle) {
        pool->Abandon();
        idle = server->WaitIdle(left());
    }
    if (!idle && pool->Pending() > 0) {
        // A stage still runs: its answer is not waited for.
        log.Write("quorvel-verifyd: stopped (requests were still in flight)");
        std::_Exit(0);
    }
    // The workers finish (resuming their connections) before the
    // connections are closed.
    server->StopLoop();
    pool.reset();
    server.reset();
    log.Write(std::string("quorvel-verifyd: stopped") +
              (idle ? "" : " (requests were still in flight)"));
}

}  // namespace

int main(int argc, char** argv) {
    const sigset_t signals = SignalWatch::Block();
    LineLog log(std::cerr);
    SignalWatch watch(signals, log);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    // One verification per worker, each single-threaded: the workers are the
    // parallelism, sized to the CPUs this process may use.
    cv::setNumThreads(0);

    const ParsedService parsed =
        ParseServiceCommandLine(argc, argv, UsableCpus(), std::cout, std::cerr);
    if (!parsed.options) return parsed.exitStatus;
    const ServiceOptions& options = *parsed.options;
    WarnAboutDeployment(options, log);
    RaiseDescriptorLimit(options, log);

    auto pool =
        VerifyPool::Start(options.cascade, options.workers, static_cast<std::size_t>(options.queue),
                          std::chrono::seconds(options.workTimeout));
    if (!pool) {
        log.Write("quorvel-verifyd: " + pool.error().message);
        return kExitUsage;
    }
    auto server = HttpServer::Start(options, **pool, log);
    if (!server) {
        log.Write("quorvel-verifyd: " + server.error().message);
        return kExitCannotStart;
    }
    // From here on a stop signal drains.
    watch.Serving();
    log.Write("quorvel-verifyd: listening on " + Shown(options.host, (*server)->Port()) +
              " (workers " + std::to_string(options.workers) + ", queue " +
              std::to_string(options.queue) + ", color " +
              std::to_string(static_cast<int>(options.settings.color)) + ", size " +
              std::to_string(static_cast<int>(options.settings.size)) + ")");
    if (options.probePort) {
        log.Write("quorvel-verifyd: probes on " + Shown(options.probeHost, (*server)->ProbePort()) +
                  " (/healthz, /metrics)");
    }
    watch.WaitForStop();
    Drain(*server, *pool, options, log);
    return 0;
}
