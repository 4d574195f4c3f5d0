#include "service/VerifyPool.h"

#include <opencv2/objdetect.hpp>

#include "core/audit/FaceDetect.h"
#include "core/verify/GenuinePhoto.h"
#include "json/VerifyJson.h"

namespace quorvel::service {

JobOutcome RunJob(const VerifyJob& job, cv::CascadeClassifier& cascade,
                  std::chrono::milliseconds workTime, const std::atomic<bool>& abandoned) {
    const auto deadline = std::chrono::steady_clock::now() + workTime;
    std::optional<Dropped> dropped;
    const StopCheck stop = [&] {
        if (abandoned) {
            dropped = Dropped::Stopping;
        } else if (job.clientGone && job.clientGone()) {
            dropped = Dropped::ClientGone;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            dropped = Dropped::OutOfTime;
        }
        return dropped.has_value();
    };
    // A client that left while its upload waited costs nothing.
    if (stop()) return *dropped;
    const GenuineCheck check = CheckGenuinePhotoBytes(job.bytes, cascade, job.settings, stop);
    if (check.stopped && dropped) return *dropped;
    return Verification{JsonLine(VerificationJson(check, false)), check.genuine};
}

Result<std::unique_ptr<VerifyPool>> VerifyPool::Start(const std::filesystem::path& cascade,
                                                      int workers, std::size_t queueLimit,
                                                      std::chrono::milliseconds workTime) {
    std::unique_ptr<VerifyPool> pool(new VerifyPool(queueLimit, workTime));
    pool->m_cascade = cascade;
    for (int i = 0; i < workers; ++i) {
        pool->m_threads.emplace_back(&VerifyPool::Work, pool.get(), static_cast<std::size_t>(i));
    }
    // Every worker has its detector before anything listens.
    std::unique_lock lock(pool->m_mutex);
    pool->m_wake.wait(lock, [&] { return pool->m_loaded == pool->m_threads.size(); });
    if (!pool->m_loadError) return pool;
    const Error error = *pool->m_loadError;
    lock.unlock();
    return error;
}

VerifyPool::~VerifyPool() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

bool VerifyPool::Submit(VerifyJob& job) {
    {
        std::lock_guard lock(m_mutex);
        const std::size_t idle = m_threads.size() - m_running;
        const std::size_t limit = m_queueClosed ? idle : idle + m_queueLimit;
        if (m_queue.size() >= limit) return false;
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

std::size_t VerifyPool::Pending() const {
    std::lock_guard lock(m_mutex);
    return m_queue.size() + m_running;
}

std::size_t VerifyPool::Running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

void VerifyPool::CloseQueue() {
    std::deque<VerifyJob> queued;
    {
        std::lock_guard lock(m_mutex);
        m_queueClosed = true;
        queued.swap(m_queue);
    }
    for (VerifyJob& job : queued) job.done(Dropped::Stopping);
}

void VerifyPool::Work(std::size_t) {
    Result<cv::CascadeClassifier> cascade = LoadFaceCascade(m_cascade);
    {
        std::lock_guard lock(m_mutex);
        if (!cascade && !m_loadError) m_loadError = cascade.error();
        ++m_loaded;
    }
    m_wake.notify_all();
    while (true) {
        VerifyJob job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_running;
        }
        JobOutcome outcome =
            cascade ? RunJob(job, *cascade, m_workTime, m_abandoned) : JobOutcome(cascade.error());
        job.bytes = std::string();
        job.done(std::move(outcome));
        std::lock_guard lock(m_mutex);
        --m_running;
    }
}

}  // namespace quorvel::service
