#include "service/VerifyPool.h"

#include <opencv2/objdetect.hpp>

#include "core/verify/GenuinePhoto.h"
#include "json/VerifyJson.h"

namespace quorvel::service {

namespace {

Result<void> LoadCascade(cv::CascadeClassifier& cascade, const std::filesystem::path& path) {
    try {
        if (cascade.load(path.string()) && !cascade.empty()) return {};
    } catch (const cv::Exception&) {
    }
    return Fail(ErrorKind::CascadeUnusable,
                "cannot load the face cascade \"" + path.string() + "\"", 0, path);
}

Verification Verify(const VerifyJob& job, cv::CascadeClassifier& cascade) {
    const GenuineCheck check = CheckGenuinePhotoBytes(job.bytes, cascade, job.settings);
    return Verification{JsonLine(VerificationJson(check, false)), check.genuine};
}

}  // namespace

Result<std::unique_ptr<VerifyPool>> VerifyPool::Start(const std::filesystem::path& cascade,
                                                      int workers, std::size_t queueLimit) {
    std::unique_ptr<VerifyPool> pool(new VerifyPool(queueLimit));
    pool->m_cascades.assign(static_cast<std::size_t>(workers), cascade);
    for (std::size_t i = 0; i < pool->m_cascades.size(); ++i) {
        pool->m_threads.emplace_back(&VerifyPool::Work, pool.get(), i);
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
        if (m_queue.size() >= idle + m_queueLimit) return false;
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

std::size_t VerifyPool::Pending() const {
    std::lock_guard lock(m_mutex);
    return m_queue.size() + m_running;
}

void VerifyPool::Work(std::size_t index) {
    cv::CascadeClassifier cascade;
    Result<void> load = LoadCascade(cascade, m_cascades[index]);
    const bool loaded = static_cast<bool>(load);
    {
        std::lock_guard lock(m_mutex);
        if (!loaded) m_loadError = load.error();
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
        VerifyOutcome outcome =
            loaded ? VerifyOutcome(Verify(job, cascade))
                   : Fail(ErrorKind::CascadeUnusable, "the face cascade could not be loaded", 0,
                          m_cascades[index]);
        job.bytes = std::string();
        job.done(std::move(outcome));
        std::lock_guard lock(m_mutex);
        --m_running;
    }
}

}  // namespace quorvel::service
