#pragma once

#include <QMetaType>
#include <QObject>
#include <filesystem>
#include <memory>

#include "core/audit/Auditor.h"
#include "core/session/Session.h"

namespace quorvel::gui {

// Runs an audit away from the window, one at a time, on a thread of its own.
// The auditor's own generator makes the verdicts independent of the thread.
// A worker destroyed while its audit runs abandons it: the window can close at
// once even when reading the photo never ends, and that audit's report goes
// nowhere.
class AuditWorker : public QObject {
    Q_OBJECT

public:
    explicit AuditWorker(QObject* parent = nullptr);
    ~AuditWorker() override;

    AuditWorker(const AuditWorker&) = delete;
    AuditWorker& operator=(const AuditWorker&) = delete;

    // Decodes and audits the file with the session's auditor, which the audit
    // keeps alive; audited() follows on this object's thread. A file that ends
    // with the pass marker is also checked by the verifier: alreadyProcessed
    // tells whether it is a photo this tool has passed and saved.
    void start(std::shared_ptr<quorvel::Session> session, const std::filesystem::path& photo);

    // Audits left running by workers destroyed before they ended, in this process.
    static int abandonedAudits();

signals:
    void audited(const quorvel::AuditReport& report, bool alreadyProcessed);

private:
    struct Link;  // what the audit's thread shares with this object
    std::shared_ptr<Link> m_link;
};

}  // namespace quorvel::gui

Q_DECLARE_METATYPE(quorvel::AuditReport)
