#include "report/ReportEntry.h"

#include "core/audit/Verdict.h"

namespace quorvel::report {

HtmlPhotoEntry ReportEntry(const PhotoOutcome& outcome, const cv::Mat& photo) {
    const AuditReport& audit = outcome.audit;
    HtmlPhotoEntry entry;
    entry.path = outcome.file;
    entry.file = outcome.file.string();
    entry.verdictNumber = VerdictNumber(audit.verdict);
    entry.reason = outcome.reason;
    if (audit.advice) entry.note = ExplainDecision(*audit.advice);
    if (audit.verdict == Verdict::Passed && outcome.error) {
        entry.reason.advice = kNotSavedAdvice;
        entry.reason.adviceEn = kNotSavedAdviceEn;
    }
    entry.face = audit.face;
    entry.faces = audit.marks.faces;
    entry.headTopRow = audit.marks.headTopRow;
    entry.cropFrame = audit.marks.cropFrame;
    entry.error = outcome.error;
    entry.savedPath = outcome.savedPath;
    entry.processed = audit.processedPhoto;
    entry.photo = photo;
    if (audit.trace) entry.values = MeasuredValues(audit);
    return entry;
}

}  // namespace quorvel::report
