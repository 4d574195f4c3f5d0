#include "core/session/Session.h"

#include "core/audit/FaceDetect.h"
#include "core/io/FileStatus.h"
#include "core/io/ImageStructure.h"
#include "core/io/RegularFile.h"
#include "core/log/VerdictLine.h"
#include "core/save/SavePhoto.h"
#include "core/verify/GenuinePhoto.h"
#include "core/verify/SaveEncoding.h"

namespace quorvel {

std::filesystem::path SystemCascadePath() { return QUORVEL_SYSTEM_CASCADE; }

SessionOptions WindowSessionOptions() { return SessionOptions{}; }

namespace {

std::filesystem::path ChooseCascade(const std::vector<std::filesystem::path>& candidates) {
    if (candidates.empty()) return kCascadeFileName;
    for (const std::filesystem::path& candidate : candidates) {
        if (StatusOf(candidate).exists()) return candidate;
    }
    return candidates.back();
}

}  // namespace

Session::Session(Auditor auditor, std::filesystem::path cascadePath, std::filesystem::path logPath)
    : m_auditor(std::move(auditor)),
      m_cascadePath(std::move(cascadePath)),
      m_log(std::make_unique<ActivityLog>(std::move(logPath))) {}

Result<Session> Session::Open(const SessionOptions& options) {
    const std::filesystem::path cascadePath = ChooseCascade(options.cascadeCandidates);
    Result<cv::CascadeClassifier> loaded = LoadFaceCascade(cascadePath);
    if (!loaded) {
        Error error = loaded.error();
        error.kind = ErrorKind::CascadeUnusable;
        error.path = cascadePath;
        return error;
    }

    const Result<ResolvedSettings> resolved =
        ResolveSettings({options.configPath, options.color, options.size});
    if (!resolved) return resolved.error();
    return Session(Auditor(std::move(loaded).value(), resolved->settings), cascadePath,
                   options.logPath);
}

Result<bool> Session::OpenLog() {
    Result<bool> opened = m_log->Open();
    if (!opened) m_logFailure = opened.error();
    return opened;
}

Result<void> Session::OpenLogWithStartupLine() {
    const Result<bool> opened = OpenLog();
    if (!opened) return opened.error();
    if (*opened) return WriteStartupLine(*m_log);
    return {};
}

Result<void> Session::LogVerdict(const std::filesystem::path& photoFile, Verdict verdict) {
    if (!m_log->IsOpen() && m_logFailure) return *m_logFailure;
    return WriteVerdictLine(*m_log, photoFile.filename(), verdict);
}

RecognisedAudit Session::AuditRecognising(const std::filesystem::path& photoFile, Trace trace) {
    Result<RegularFile> file = RegularFile::Open(photoFile);
    if (!file) {
        DecodedPhoto unread;
        unread.failure = file.error();
        return {m_auditor.AuditDecoded(unread, trace), false};
    }
    if (!HasPassMarker(*file) || file->length() > kMaxVerifiedFileBytes) {
        return {m_auditor.AuditFile(*file, trace).report, false};
    }
    const Result<std::string> bytes = file->ReadAll(kMaxVerifiedFileBytes);
    if (!bytes) return {m_auditor.AuditFile(*file, trace).report, false};
    const ImageStructure walk =
        WalkForVerification(std::string_view(*bytes).substr(0, bytes->size() - kPassMarkerLength));
    RecognisedAudit audited{m_auditor.AuditFile(*file, trace, &walk).report, false};
    audited.alreadyProcessed =
        CheckGenuinePhotoBytes(*bytes, walk, m_auditor.cascade(), settings()).genuine;
    return audited;
}

}  // namespace quorvel
