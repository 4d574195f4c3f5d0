#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThread>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>

#include "audit/AuditChain.h"

// The verdict of one audit and, for a passed photo, the processed photo.
struct AuditOutcome {
    int state = AUDIT_INITIAL;
    cv::Mat processedPhoto;  // empty unless state is AUDIT_PASSED
};
Q_DECLARE_METATYPE(AuditOutcome)

// Runs the audits away from the window, on one thread that lives as long as
// this object. Every audit runs on that same thread, so OpenCV's per-thread
// random generator continues from one audit to the next exactly as if all
// of them ran on a single thread. One audit at a time.
class AuditWorker : public QObject {
    Q_OBJECT

public:
    explicit AuditWorker(cv::CascadeClassifier& cascade, QObject* parent = nullptr);
    // Waits for an audit that is still running; its outcome is dropped.
    ~AuditWorker() override;

    AuditWorker(const AuditWorker&) = delete;
    AuditWorker& operator=(const AuditWorker&) = delete;

    // Decodes and audits the file; audited() follows, delivered on the
    // thread this object lives in.
    void start(const QString& path, const AuditSettings& settings);

    // The thread the audits run on (started by the first audit).
    QThread* auditThread() { return &m_thread; }

signals:
    void audited(const AuditOutcome& outcome);

private:
    cv::CascadeClassifier& m_cascade;
    QThread m_thread;
    QObject* m_runner;  // lives in m_thread; the audits run in its context
};
