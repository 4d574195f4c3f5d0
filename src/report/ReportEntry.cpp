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
    if (audit.verdict == Verdict::Passed && outcome.error) {
        entry.reason.advice = kNotSavedAdvice;
        entry.reason.adviceEn = kNotSavedAdviceEn;
    }
    entry.face = audit.face;
    entry.error = outcome.error;
    entry.savedPath = outcome.savedPath;
    entry.processed = audit.processedPhoto;
    entry.photo = photo;
    if (!audit.trace) return entry;
    const AuditTrace& trace = *audit.trace;
    if (!audit.face && trace.faces) entry.faces = *trace.faces;
    if (trace.crop) {
        entry.headTopRow = trace.crop->headTopRow;
        const std::optional<FrameSearch>& search = trace.crop->search;
        if (search && search->accepted && !audit.processedPhoto.empty()) {
            const int width = search->frame.width();
            entry.cropFrame =
                cv::Rect(search->frame.left, search->frame.top, width,
                         width * audit.processedPhoto.rows / audit.processedPhoto.cols);
        }
    }
    entry.values = MeasuredValues(audit);
    return entry;
}

}  // namespace quorvel::report
