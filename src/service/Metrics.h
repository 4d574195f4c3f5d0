#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "service/VerifyPool.h"

namespace quorvel::service {

// How a request ended, for the counters.
enum class Outcome : std::uint8_t {
    Genuine,     // 200, the file is genuine
    NotGenuine,  // 200, it is not
    Answered,    // 200 of /healthz and /metrics
    BadRequest,  // 400, 411, 501 (not HTTP, a framing read two ways, no length, bad parameters)
    NotFound,    // 404 and 405
    TooLarge,    // 413 and 431
    Busy,        // 503: no worker and the queue full, or stopping
    Failed,      // 500
    Dropped,     // the connection ended before an answer (timeout, client gone)
};
inline constexpr std::size_t kOutcomeCount = 9;

// Why the service shut a connection down itself.
enum class CutReason : std::uint8_t {
    HeaderTime,   // its headers were not complete within --header-timeout
    RequestTime,  // its request was not complete within --request-timeout
    Closed,       // its client closed it in the middle of a body
};
inline constexpr std::size_t kCutReasonCount = 3;

// The label value of an outcome: genuine, not_genuine, ...
const char* OutcomeLabel(Outcome outcome);

// The outcome of an answer with this status (genuine tells 200s of /verify
// apart; unset for the others).
Outcome OutcomeOf(unsigned status, int genuine);

// Counters of the requests, read by GET /metrics. Updated from the HTTP
// thread and the workers without a lock.
class Metrics {
public:
    // Upper bounds of the latency histogram's buckets, in seconds.
    static constexpr std::array<double, 12> kBuckets = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                        0.5,   1,    2.5,   5,    10,  30};

    void Started() { m_inFlight.fetch_add(1); }
    // Ends a started request.
    void Finished(Outcome outcome, double seconds);
    std::int64_t InFlight() const { return m_inFlight.load(); }
    void ConnectionCut(CutReason reason) { m_cuts[static_cast<std::size_t>(reason)].fetch_add(1); }
    void VerificationDropped(Dropped why) { m_dropped[static_cast<std::size_t>(why)].fetch_add(1); }
    void SetBodyBytes(std::size_t bytes) { m_bodyBytes.store(bytes); }

    // The Prometheus text exposition (version 0.0.4); `workers` is the
    // pool's size, `pending` its jobs running or queued, `running` those
    // running.
    std::string Text(int workers, std::size_t pending, std::size_t running) const;

private:
    std::array<std::atomic<std::uint64_t>, kOutcomeCount> m_outcomes{};
    std::array<std::atomic<std::uint64_t>, kBuckets.size() + 1> m_buckets{};  // last: +Inf
    std::atomic<std::uint64_t> m_microseconds{0};
    std::atomic<std::int64_t> m_inFlight{0};
    std::array<std::atomic<std::uint64_t>, kCutReasonCount> m_cuts{};
    std::array<std::atomic<std::uint64_t>, 3> m_dropped{};  // by Dropped
    std::atomic<std::size_t> m_bodyBytes{0};
};

}  // namespace quorvel::service
