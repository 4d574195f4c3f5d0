#include "report/ReportEntry.h"

#include "core/analysis/FrameCut.h"
#include "core/audit/PhotoRules.h"
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
    if (audit.verdict == Verdict::Passed && outcome.processedSize && audit.marks.cropFrame) {
        entry.processed = CutFrameAgain(photo, *audit.marks.cropFrame, *outcome.processedSize);
    }
    entry.photo = photo;
    entry.position = outcome.position;
    entry.warnings = audit.warnings;
    if (audit.trace) entry.values = MeasuredValues(audit);
    return entry;
}

HtmlPhotoEntry ResultsEntry(const PhotoOutcome& recorded, LibraryMessages* messages) {
    // A line without the photo's stamp (its photo could not be opened, or
    // it was written before lines had one) gets no picture.
    if (!recorded.audit.photoStamp) return ReportEntry(recorded, cv::Mat());
    DecodedPhoto decoded = DecodePhoto(recorded.file, messages);
    PhotoSince since = PhotoSince::Same;
    if (!decoded.stamp) {
        since = PhotoSince::Missing;
    } else if (*decoded.stamp != *recorded.audit.photoStamp) {
        since = PhotoSince::Changed;
    }
    HtmlPhotoEntry entry =
        ReportEntry(recorded, since == PhotoSince::Same ? decoded.image : cv::Mat());
    entry.since = since;
    return entry;
}

}  // namespace quorvel::report
