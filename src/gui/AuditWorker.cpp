#include "gui/AuditWorker.h"

#include <exception>

AuditWorker::AuditWorker(cv::CascadeClassifier& cascade, QObject* parent)
    : QObject(parent), m_cascade(cascade), m_runner(new QObject) {
    qRegisterMetaType<AuditOutcome>();
    m_thread.setObjectName(QStringLiteral("audit"));
    m_runner->moveToThread(&m_thread);
}

AuditWorker::~AuditWorker() {
    m_thread.quit();
    m_thread.wait();
    delete m_runner;
}

void AuditWorker::start(const QString& path, const AuditSettings& settings) {
    if (!m_thread.isRunning()) m_thread.start();
    QMetaObject::invokeMethod(
        m_runner,
        [this, path = path.toStdWString(), settings] {
            AuditOutcome outcome;
            cv::Mat processedPhoto;
            try {
                outcome.state = AuditPhotoFile(m_cascade, path, settings, processedPhoto).state;
            } catch (const std::exception&) {
                // Out of memory on a huge photo, or the library refusing it:
                // a photo that cannot be processed is not a usable photo file.
                outcome.state = AUDIT_BAD_FORMAT;
            }
            if (outcome.state == AUDIT_PASSED) outcome.processedPhoto = processedPhoto;
            emit audited(outcome);
        },
        Qt::QueuedConnection);
}
