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
class CAuditThread : public QObject {
    Q_OBJECT

public:
    explicit CAuditThread(cv::CascadeClassifier& cascade, QObject* parent = nullptr);
    // Waits for an audit that is still running; its outcome is dropped.
    ~CAuditThread() override;

    CAuditThread(const CAuditThread&) = delete;
    CAuditThread& operator=(const CAuditThread&) = delete;

    // Decodes and audits the file; Audited() follows, delivered on the
    // thread this object lives in.
    void Start(const QString& pathName, const AuditSettings& settings);

    QThread* Thread() { return &m_thread; }

signals:
    void Audited(const AuditOutcome& outcome);

private:
    cv::CascadeClassifier& m_cascade;
    QThread m_thread;
    QObject* m_pRunner;  // lives in m_thread; the audits run in its context
};
