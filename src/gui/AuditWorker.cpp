#include "gui/AuditWorker.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "core/session/Session.h"

namespace quorvel::gui {

namespace {

std::atomic<int> g_abandonedAudits{0};

}  // namespace

struct AuditWorker::Link {
    std::mutex mutex;
    AuditWorker* worker = nullptr;  // null once the worker is gone
    bool running = false;
};

AuditWorker::AuditWorker(QObject* parent) : QObject(parent), m_link(std::make_shared<Link>()) {
    qRegisterMetaType<quorvel::AuditReport>();
    m_link->worker = this;
}

AuditWorker::~AuditWorker() {
    std::lock_guard<std::mutex> lock(m_link->mutex);
    m_link->worker = nullptr;
    if (m_link->running) ++g_abandonedAudits;
}

int AuditWorker::abandonedAudits() { return g_abandonedAudits.load(); }

void AuditWorker::start(std::shared_ptr<quorvel::Session> session,
                        const std::filesystem::path& photo) {
    {
        std::lock_guard<std::mutex> lock(m_link->mutex);
        m_link->running = true;
    }
    std::thread([link = m_link, session = std::move(session), photo]() mutable {
        // One opening and one walk of the file for the audit and the check
        // of whether it is already a save.
        quorvel::RecognisedAudit audited = session->AuditRecognising(photo, quorvel::Trace::On);
        quorvel::AuditReport report = std::move(audited.report);
        const bool alreadyProcessed = audited.alreadyProcessed;
        // Let go of the session before the audit counts as ended, so that a
        // process ending after its last audit never destroys it from here.
        session.reset();
        std::lock_guard<std::mutex> lock(link->mutex);
        link->running = false;
        // Posted while the worker is known to exist; its destruction drops
        // the call if it comes first.
        if (AuditWorker* worker = link->worker) {
            QMetaObject::invokeMethod(
                worker,
                [worker, report = std::move(report), alreadyProcessed] {
                    emit worker->audited(report, alreadyProcessed);
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

}  // namespace quorvel::gui
