#pragma once

#include <QMetaType>
#include <QObject>
#include <QThread>
#include <filesystem>

#include "core/audit/Auditor.h"

Q_DECLARE_METATYPE(quorvel::AuditReport)

// Runs the audits away from the window, on one thread that lives as long as
// this object, one audit at a time. The auditor's own generator makes the
// verdicts independent of which thread runs them.
class AuditWorker : public QObject {
    Q_OBJECT

public:
    explicit AuditWorker(QObject* parent = nullptr);
    // Waits for an audit that is still running; its report is dropped.
    ~AuditWorker() override;

    AuditWorker(const AuditWorker&) = delete;
    AuditWorker& operator=(const AuditWorker&) = delete;

    // Decodes and audits the file with the auditor, which must outlive this
    // object; audited() follows, delivered on the thread this object lives in.
    void start(quorvel::Auditor& auditor, const std::filesystem::path& photo);

    // The thread the audits run on (started by the first audit).
    QThread* auditThread() { return &m_thread; }

signals:
    void audited(const quorvel::AuditReport& report);

private:
    QThread m_thread;
    QObject* m_runner;  // lives in m_thread; the audits run in its context
};
