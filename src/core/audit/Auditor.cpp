#include "core/audit/Auditor.h"

#include <exception>

#include "core/audit/FaceDetect.h"
#include "core/audit/PhotoRules.h"

namespace quorvel {

Auditor::Auditor(cv::CascadeClassifier cascade, Settings settings)
    : m_cascade(std::move(cascade)), m_settings(settings), m_rng(kFreshGeneratorState) {}

AuditReport Auditor::RunChecks(const DecodedPhoto& decoded, Trace trace) {
    const cv::Mat& photo = decoded.image;
    AuditReport report;
    AuditTrace measured;
    auto finish = [&](Verdict verdict) {
        report.verdict = verdict;
        if (trace == Trace::On) report.trace = std::move(measured);
        return report;
    };

    if (decoded.unreadable) report.unreadable = decoded.unreadable->message;
    if (decoded.refusedSize) measured.claimedSize = decoded.refusedSize;
    if (decoded.outOfMemory) report.error = "the audit failed: out of memory";
    if (photo.empty()) return finish(Verdict::BadFormat);
    measured.photoSize = photo.size();

    FaceSearch faces = DetectFace(m_cascade, photo);
    report.face = faces.chosen;
    measured.faces = std::move(faces.faces);
    if (!report.face) return finish(Verdict::NoFace);

    RulesCheck rules = CheckPhotoRules(*report.face, photo, decoded.fileLength, m_settings, m_rng);
    measured.fileLength = rules.fileLength;
    measured.background = std::move(rules.background);
    measured.crop = std::move(rules.crop);
    report.processedPhoto = std::move(rules.processedPhoto);
    return finish(rules.verdict);
}

AuditReport Auditor::AuditDecoded(const DecodedPhoto& photo, Trace trace) {
    try {
        return RunChecks(photo, trace);
    } catch (const std::exception& e) {
        // Not a verdict of the rules: the audit itself broke. A photo that
        // cannot be processed is not a usable photo file.
        AuditReport report;
        report.verdict = Verdict::BadFormat;
        report.error = std::string("the audit failed: ") + e.what();
        if (trace == Trace::On) report.trace = AuditTrace{};
        return report;
    }
}

AuditReport Auditor::Audit(const std::filesystem::path& photoFile, Trace trace, cv::Mat* photo) {
    try {
        DecodedPhoto decoded = DecodePhoto(photoFile);
        AuditReport report = AuditDecoded(decoded, trace);
        if (photo != nullptr) *photo = std::move(decoded.image);
        return report;
    } catch (const std::exception&) {
        // Reading the file itself ran out of memory: as a broken audit.
        AuditReport report;
        report.verdict = Verdict::BadFormat;
        report.error = "the audit failed: out of memory";
        if (trace == Trace::On) report.trace = AuditTrace{};
        return report;
    }
}

}  // namespace quorvel
