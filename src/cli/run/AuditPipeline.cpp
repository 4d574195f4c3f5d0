#include "cli/run/AuditPipeline.h"

#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "core/audit/FaceDetect.h"
#include "core/audit/PhotoRules.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

AuditedPhoto AuditOne(Auditor& auditor, const fs::path& file, const PipelineOptions& options) {
    AuditedPhoto audited;
    Auditor::AuditedFile read = auditor.AuditFile(file, options.trace ? Trace::On : Trace::Off);
    audited.audit = std::move(read.report);
    if (options.keepPhoto) audited.photo = std::move(read.photo);
    return audited;
}

// The shared state of the workers and the thread that delivers.
class OrderedResults {
public:
    OrderedResults(std::size_t count, std::size_t window) : m_count(count), m_window(window) {}

    // The next item to audit, or false when there is none (or the run stops).
    bool Take(std::size_t& item) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(
            lock, [&] { return m_stop || m_next >= m_count || m_next < m_delivered + m_window; });
        if (m_stop || m_next >= m_count) return false;
        item = m_next++;
        return true;
    }

    void Put(std::size_t item, AuditedPhoto audited) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_done.emplace(item, std::move(audited));
        m_changed.notify_all();
    }

    // Waits for the item that is due next and hands it out.
    AuditedPhoto Next(std::size_t item) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [&] { return m_done.count(item) > 0; });
        AuditedPhoto audited = std::move(m_done.at(item));
        m_done.erase(item);
        m_delivered = item + 1;
        m_changed.notify_all();
        return audited;
    }

    // Takes no further item; returns how many were taken.
    std::size_t Stop() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
        m_changed.notify_all();
        return m_next;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<std::size_t, AuditedPhoto> m_done;
    const std::size_t m_count;
    const std::size_t m_window;
    std::size_t m_next = 0;
    std::size_t m_delivered = 0;
    bool m_stop = false;
};

// Each worker its own auditor, as a cascade is not shared between threads:
// the session's, which the calling thread does not use meanwhile, and one
// more loaded (into `loaded`) for each further worker.
Result<std::vector<Auditor*>> WorkerAuditors(Session& session, int workers,
                                             std::vector<Auditor>& loaded) {
    std::vector<Auditor*> auditors = {&session.auditor()};
    loaded.reserve(static_cast<std::size_t>(workers));
    for (int i = 1; i < workers; ++i) {
        Result<cv::CascadeClassifier> cascade = LoadFaceCascade(session.cascadePath());
        if (!cascade) return cascade.error();
        auditors.push_back(&loaded.emplace_back(std::move(cascade).value(), session.settings()));
    }
    return auditors;
}

}  // namespace

Result<std::size_t> RunAuditPipeline(Session& session, const std::vector<fs::path>& photos,
                                     const std::vector<std::size_t>& positions,
                                     const PipelineOptions& options, const DeliverAudit& deliver) {
    auto stopped = [&options] { return options.stop != nullptr && options.stop->load(); };
    session.auditor().CaptureLibraryMessages(options.messages);
    if (options.workers <= 0) {
        std::size_t delivered = 0;
        for (const std::size_t position : positions) {
            if (stopped()) break;
            deliver(position, AuditOne(session.auditor(), photos[position], options));
            ++delivered;
        }
        return delivered;
    }
    std::vector<Auditor> loaded;
    Result<std::vector<Auditor*>> found = WorkerAuditors(session, options.workers, loaded);
    if (!found) return found.error();
    const std::vector<Auditor*>& auditors = *found;
    for (Auditor* auditor : auditors) auditor->CaptureLibraryMessages(options.messages);

    // One worker lets the detector spread each photo over the cores; several
    // workers each take one core, which keeps every core busy without the
    // detector's threads waiting on one another.
    const int detectorThreads = cv::getNumThreads();
    if (options.workers > 1) cv::setNumThreads(1);
    struct RestoreThreads {
        int count;
        ~RestoreThreads() { cv::setNumThreads(count); }
    } restore{detectorThreads};

    const auto workers = static_cast<std::size_t>(options.workers);
    OrderedResults results(positions.size(), 2 * workers + 2);
    std::vector<std::thread> threads;
    for (Auditor* auditor : auditors) {
        threads.emplace_back([&results, auditor, &photos, &positions, &options] {
            std::size_t item = 0;
            while (results.Take(item)) {
                auditor->RestartGenerator();
                results.Put(item, AuditOne(*auditor, photos[positions[item]], options));
            }
        });
    }
    std::exception_ptr failure;
    std::size_t delivered = 0;
    std::size_t end = positions.size();
    try {
        for (std::size_t item = 0; item < end; ++item) {
            // Stopped: the photos in the workers' hands are still delivered.
            if (end == positions.size() && stopped()) end = results.Stop();
            if (item >= end) break;
            deliver(positions[item], results.Next(item));
            ++delivered;
        }
    } catch (...) {
        failure = std::current_exception();
        results.Stop();
    }
    for (std::thread& thread : threads) thread.join();
    if (failure) std::rethrow_exception(failure);
    return delivered;
}

}  // namespace quorvel::cli
