#include "gui/AuditWorker.h"

AuditWorker::AuditWorker(QObject* parent) : QObject(parent), m_runner(new QObject) {
    qRegisterMetaType<quorvel::AuditReport>();
    m_thread.setObjectName(QStringLiteral("audit"));
    m_runner->moveToThread(&m_thread);
}

AuditWorker::~AuditWorker() {
    m_thread.quit();
    m_thread.wait();
    delete m_runner;
}

void AuditWorker::start(quorvel::Auditor& auditor, const std::filesystem::path& photo) {
    if (!m_thread.isRunning()) m_thread.start();
    QMetaObject::invokeMethod(
        m_runner, [this, &auditor, photo] { emit audited(auditor.Audit(photo)); },
        Qt::QueuedConnection);
}
