#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/audit/Auditor.h"
#include "core/audit/FaceDetect.h"
#include "core/common/Result.h"
#include "core/config/Settings.h"
#include "core/log/ActivityLog.h"

namespace quorvel {

// Debian's copy of the face cascade (opencv-data).
std::filesystem::path SystemCascadePath();

// How a front end starts a session.
struct SessionOptions {
    std::filesystem::path configPath = kDefaultConfigPath;
    // Settings given by the caller; the file is read only for those missing.
    std::optional<BackgroundColor> color;
    std::optional<SizeMode> size;
    // Where to look for the cascade: the first that exists is loaded; when
    // none exists, the last one is named in the error.
    std::vector<std::filesystem::path> cascadeCandidates = {kCascadeFileName};
    std::filesystem::path logPath = kLogFileName;
};

// The window's rule: the cascade and cfg.ini in the working directory.
SessionOptions WindowSessionOptions();

// A photo audited for the window: its audit, and whether the file is already
// a save that verifies (it ends with the pass marker and passes every check).
struct RecognisedAudit {
    AuditReport report;
    bool alreadyProcessed = false;
};

// What a front end shares: the settings, the auditor with its cascade, and
// the activity log. Started by Open; a start-up failure comes back as a value.
class Session {
public:
    // Loads the cascade, then reads the configuration (unless both settings
    // are given). The log is not opened yet. A failure is CascadeUnusable or
    // ConfigUnusable, with the file that could not be used as its path and
    // the reason in its message.
    static Result<Session> Open(const SessionOptions& options);

    const Settings& settings() const { return m_auditor.settings(); }
    const std::filesystem::path& cascadePath() const { return m_cascadePath; }
    Auditor& auditor() { return m_auditor; }

    // Audits one photo with the session's auditor.
    AuditReport Audit(const std::filesystem::path& photoFile, Trace trace = Trace::Off) {
        return m_auditor.Audit(photoFile, trace);
    }

    // The window's audit: the photo is opened once and its structure walked
    // once, for the audit and, when the file ends with the pass marker and is
    // no longer than a save can be, for the verification of its bytes, read
    // from the same descriptor.
    RecognisedAudit AuditRecognising(const std::filesystem::path& photoFile, Trace trace);

    // Opens the log; the value is true only when this call opened it. A
    // failure is kept: the verdicts logged after it report it.
    Result<bool> OpenLog();
    // Opens the log and, when this call opened it, writes the start-up line;
    // the failure of either.
    Result<void> OpenLogWithStartupLine();
    // Writes the verdict line for a photo (its file name and the verdict
    // text). Fails when the write fails, and when the log could not be
    // opened (with that failure): no verdict goes unlogged unnoticed. Without
    // any attempt to open the log, nothing is written and nothing fails.
    Result<void> LogVerdict(const std::filesystem::path& photoFile, Verdict verdict);
    ActivityLog& log() { return *m_log; }

private:
    Session(Auditor auditor, std::filesystem::path cascadePath, std::filesystem::path logPath);

    Auditor m_auditor;
    std::filesystem::path m_cascadePath;
    std::unique_ptr<ActivityLog> m_log;  // owns a lock, so it stays where it is
    std::optional<Error> m_logFailure;   // why the log could not be opened
};

}  // namespace quorvel
