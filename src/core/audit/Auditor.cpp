#include "core/audit/Auditor.h"

#include <cerrno>
#include <exception>
#include <new>

#include "core/audit/FaceDetect.h"
#include "core/audit/PhotoRules.h"

namespace quorvel {

Auditor::Auditor(cv::CascadeClassifier cascade, Settings settings)
    : m_cascade(std::move(cascade)), m_settings(settings), m_rng(kFreshGeneratorState) {}

namespace {

// Why a photo without an image was not audited.
RuleDecision NoImageDecision(const DecodedPhoto& decoded) {
    if (decoded.refusedSize) return DecidePixelCap(*decoded.refusedSize);
    if (decoded.refusedCost) return DecideDecodingCost(*decoded.refusedCost);
    if (decoded.failure && AuditBroke(*decoded.failure)) {
        return DecideAuditFailed(decoded.failure->message);
    }
    return DecideUnreadable();
}

// What a card draws over the photo, from what the audit measured.
AuditMarks MarksOf(const AuditReport& report, const AuditTrace& measured) {
    AuditMarks marks;
    if (!report.face && measured.faces) marks.faces = *measured.faces;
    if (!measured.crop) return marks;
    marks.headTopRow = measured.crop->headTopRow;
    const std::optional<FrameSearch>& search = measured.crop->search;
    const cv::Mat& processed = report.processedPhoto;
    if (search && search->accepted && !processed.empty()) {
        const int width = search->frame.width();
        marks.cropFrame = cv::Rect(search->frame.left, search->frame.top, width,
                                   width * processed.rows / processed.cols);
    }
    return marks;
}

}  // namespace

AuditReport Auditor::RunChecks(const DecodedPhoto& decoded, Trace trace) {
    const cv::Mat& photo = decoded.image;
    AuditReport report;
    AuditTrace measured;
    auto finish = [&](Verdict verdict, RuleDecision decision) {
        report.verdict = verdict;
        report.decision = std::move(decision);
        report.marks = MarksOf(report, measured);
        if (trace == Trace::On) report.trace = std::move(measured);
        return report;
    };

    report.failure = decoded.failure;
    if (decoded.refusedSize) measured.claimedSize = decoded.refusedSize;
    if (decoded.refusedCost) measured.refusedCost = decoded.refusedCost;
    if (photo.empty()) return finish(Verdict::BadFormat, NoImageDecision(decoded));
    measured.photoSize = photo.size();

    FaceSearch faces = DetectFace(m_cascade, photo);
    report.face = faces.chosen;
    measured.faces = std::move(faces.faces);
    if (!report.face) return finish(Verdict::NoFace, DecideFaceCount(measured.faces->size()));

    RulesCheck rules = CheckPhotoRules(*report.face, photo, decoded.fileLength, m_settings, m_rng);
    measured.fileLength = rules.fileLength;
    measured.background = std::move(rules.background);
    measured.crop = std::move(rules.crop);
    measured.clarity = rules.clarity;
    report.processedPhoto = std::move(rules.processedPhoto);
    report.advice = std::move(rules.advice);
    return finish(rules.verdict, std::move(rules.decision));
}

AuditReport Auditor::AuditDecoded(const DecodedPhoto& photo, Trace trace) {
    // Not a verdict of the rules: the audit itself broke. A photo that
    // cannot be processed is not a usable photo file.
    auto broken = [trace](ErrorKind kind, const std::exception& e) {
        AuditReport report;
        report.verdict = Verdict::BadFormat;
        report.failure = Fail(kind, std::string("the audit failed: ") + e.what(),
                              kind == ErrorKind::OutOfMemory ? ENOMEM : 0);
        report.decision = DecideAuditFailed(report.failure->message);
        if (trace == Trace::On) report.trace = AuditTrace{};
        return report;
    };
    try {
        return RunChecks(photo, trace);
    } catch (const std::bad_alloc& e) {
        return broken(ErrorKind::OutOfMemory, e);
    } catch (const std::exception& e) {
        return broken(ErrorKind::Internal, e);
    }
}

Auditor::AuditedFile Auditor::AuditFile(const std::filesystem::path& photoFile, Trace trace) {
    return AuditRead(trace, [&photoFile, this] { return DecodePhoto(photoFile, m_messages); });
}

Auditor::AuditedFile Auditor::AuditFile(const RegularFile& file, Trace trace,
                                        const ImageStructure* walked) {
    return AuditRead(trace,
                     [&file, walked, this] { return DecodePhoto(file, walked, m_messages); });
}

Auditor::AuditedFile Auditor::AuditRead(Trace trace, const std::function<DecodedPhoto()>& read) {
    try {
        DecodedPhoto decoded = read();
        AuditReport report = AuditDecoded(decoded, trace);
        report.photoStamp = decoded.stamp;
        report.warnings = std::move(decoded.warnings);
        return {std::move(report), std::move(decoded.image)};
    } catch (const std::exception&) {
        // Reading the file itself ran out of memory: as a broken audit.
        AuditReport report;
        report.verdict = Verdict::BadFormat;
        report.failure = Fail(ErrorKind::OutOfMemory, "the audit failed: out of memory", ENOMEM);
        report.decision = DecideAuditFailed(report.failure->message);
        if (trace == Trace::On) report.trace = AuditTrace{};
        return {std::move(report), cv::Mat()};
    }
}

}  // namespace quorvel
