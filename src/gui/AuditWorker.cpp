#include "gui/AuditWorker.h"

#include <exception>

CAuditThread::CAuditThread(cv::CascadeClassifier& cascade, QObject* parent)
    : QObject(parent), m_cascade(cascade), m_pRunner(new QObject) {
    qRegisterMetaType<AuditOutcome>();
    m_thread.setObjectName(QStringLiteral("audit"));
    m_pRunner->moveToThread(&m_thread);
}

CAuditThread::~CAuditThread() {
    m_thread.quit();
    m_thread.wait();
    delete m_pRunner;
}

void CAuditThread::Start(const QString& pathName, const AuditSettings& settings) {
    if (!m_thread.isRunning()) m_thread.start();
    QMetaObject::invokeMethod(
        m_pRunner,
        [this, pathName = pathName.toStdWString(), settings] {
            AuditOutcome outcome;
            cv::Mat processedPhoto;
            try {
                outcome.state = AuditPhotoFile(m_cascade, pathName, settings, processedPhoto).state;
            } catch (const std::exception&) {
                // Out of memory on a huge photo, or the library refusing it:
                // a photo that cannot be processed is not a usable photo file.
                outcome.state = AUDIT_BAD_FORMAT;
            }
            if (outcome.state == AUDIT_PASSED) outcome.processedPhoto = processedPhoto;
            emit Audited(outcome);
        },
        Qt::QueuedConnection);
}
