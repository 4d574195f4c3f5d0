#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/common/Result.h"
#include "core/config/Settings.h"

namespace quorvel::service {

// What one verification answers.
struct Verification {
    std::string json;  // the JSON object, one line
    bool genuine = false;
};

// A verification, or why the worker could not make one (CascadeUnusable:
// its detector is missing).
using VerifyOutcome = Result<Verification>;

// One upload to verify and where its answer goes (called on a worker).
struct VerifyJob {
    std::string bytes;
    Settings settings;
    std::function<void(VerifyOutcome)> done;
};

// A fixed number of workers, each with its own detector, and a bounded queue
// of jobs waiting for one.
class VerifyPool {
public:
    // Starts the workers, each loading its own cascade, and returns once all
    // have; fails when the cascade cannot be used.
    static Result<std::unique_ptr<VerifyPool>> Start(const std::filesystem::path& cascade,
                                                     int workers, std::size_t queueLimit);
    ~VerifyPool();
    VerifyPool(const VerifyPool&) = delete;
    VerifyPool& operator=(const VerifyPool&) = delete;

    // Hands the job to a free worker or queues it. False, with the job
    // untouched, when every worker is busy and the queue is full.
    bool Submit(VerifyJob& job);

    // Jobs running or queued.
    std::size_t Pending() const;

private:
    explicit VerifyPool(std::size_t queueLimit) : m_queueLimit(queueLimit) {}
    void Work(std::size_t index);

    const std::size_t m_queueLimit;
    std::vector<std::thread> m_threads;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<VerifyJob> m_queue;
    std::size_t m_running = 0;
    bool m_stopping = false;
    std::vector<std::filesystem::path> m_cascades;  // one per worker (the same file)
    std::size_t m_loaded = 0;                       // workers that tried to load theirs
    std::optional<Error> m_loadError;
};

}  // namespace quorvel::service
