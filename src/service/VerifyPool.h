#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "core/common/Result.h"
#include "core/config/Settings.h"

namespace quorvel::service {

// What one verification answers.
struct Verification {
    std::string json;  // the JSON object, one line
    bool genuine = false;
};

// Why a job ended without a verification.
enum class Dropped : std::uint8_t {
    ClientGone,  // its client's connection was reset
    OutOfTime,   // it ran longer than the work bound
    Stopping,    // the service stops: the job was still queued, or the drain ran out
};

// What a job ends with: its verification, the worker's failure
// (CascadeUnusable: its detector is missing), or why it was dropped.
using JobOutcome = std::variant<Verification, Error, Dropped>;

// One upload to verify and where its answer goes.
struct VerifyJob {
    std::string bytes;
    Settings settings;
    // Whether the client has gone: asked before the work starts and between
    // its stages. Empty: never.
    std::function<bool()> clientGone;
    // Called once, on a worker (or on the thread that closes the queue).
    std::function<void(JobOutcome)> done;
};

// A fixed number of workers, each with its own detector, and a bounded queue
// of jobs waiting for one. A job runs at most `workTime` (checked between
// the verifier's stages), so that no upload holds a worker for long.
class VerifyPool {
public:
    // Starts the workers, each loading its own cascade through the core's
    // checked loader, and returns once all have; fails with the loader's
    // reason when the cascade cannot be used.
    static Result<std::unique_ptr<VerifyPool>> Start(const std::filesystem::path& cascade,
                                                     int workers, std::size_t queueLimit,
                                                     std::chrono::milliseconds workTime);
    ~VerifyPool();  // runs what is queued, then joins the workers
    VerifyPool(const VerifyPool&) = delete;
    VerifyPool& operator=(const VerifyPool&) = delete;

    // Hands the job to a free worker or queues it. False, with the job
    // untouched, when every worker is busy and the queue is full (once the
    // queue is closed: when no worker is free).
    bool Submit(VerifyJob& job);

    // Jobs running or queued.
    std::size_t Pending() const;
    // Jobs running.
    std::size_t Running() const;

    // For a stop: the queued jobs end as Dropped::Stopping (their callbacks
    // run on the calling thread), and from now on a job is taken only when a
    // worker is free for it.
    void CloseQueue();

    // The jobs running stop at their next stage as Dropped::Stopping.
    void Abandon() { m_abandoned = true; }

private:
    VerifyPool(std::size_t queueLimit, std::chrono::milliseconds workTime)
        : m_queueLimit(queueLimit), m_workTime(workTime) {}
    void Work(std::size_t index);

    const std::size_t m_queueLimit;
    const std::chrono::milliseconds m_workTime;
    std::vector<std::thread> m_threads;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<VerifyJob> m_queue;
    std::size_t m_running = 0;
    bool m_stopping = false;
    bool m_queueClosed = false;
    std::atomic<bool> m_abandoned{false};
    std::filesystem::path m_cascade;
    std::size_t m_loaded = 0;  // workers that tried to load theirs
    std::optional<Error> m_loadError;
};

// Runs one job with the worker's detector: its verification, or why it was
// dropped (the client gone, `workTime` spent, or `abandoned` set).
JobOutcome RunJob(const VerifyJob& job, cv::CascadeClassifier& cascade,
                  std::chrono::milliseconds workTime, const std::atomic<bool>& abandoned);

}  // namespace quorvel::service
