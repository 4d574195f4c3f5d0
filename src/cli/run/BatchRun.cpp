#include "cli/run/BatchRun.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <exception>
#include <ostream>

#include "cli/output/GoOn.h"
#include "cli/output/NameText.h"
#include "cli/output/Progress.h"
#include "core/explain/Explanation.h"
#include "core/save/SavePhoto.h"
#include "json/ResultsJson.h"
#include "report/ReportEntry.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

std::string LocalDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local);
    return text;
}

std::vector<std::size_t> BatchRun::Positions(const ResumeFile* resume) const {
    std::vector<std::size_t> positions;
    if (m_options.shard) {
        positions = ShardPositions(m_photos, *m_options.shard);
    } else {
        positions.resize(m_photos.size());
        for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = i;
    }
    if (resume != nullptr) {
        std::erase_if(positions,
                      [&](std::size_t position) { return resume->Finished(m_photos[position]); });
    }
    return positions;
}

void BatchRun::Start(std::size_t total, ResumeFile* resume) {
    m_total = total;
    m_resume = resume;
    if (m_options.reportPath) {
        Result<report::HtmlReport> begun =
            report::HtmlReport::Begin(*m_options.reportPath, m_streams.temporaries,
                                      m_folders.report ? &*m_folders.report : nullptr);
        if (begun) {
            m_html.emplace(std::move(begun).value());
        } else {
            PrintMessage(m_streams.err, begun.error().message);
            m_reportOk = false;
        }
    }
    // The status, the summary and the report cover the whole results file:
    // the earlier runs' photos too.
    if (resume != nullptr) {
        m_earlier = resume->FinishedCount();
        m_earlierPassed = resume->FinishedPassed();
    }
    if (m_html && resume != nullptr) {
        const Result<void> earlier = resume->EachFinished([this](const JsonObject& line) {
            m_html->Add(report::ResultsEntry(AuditOutcomeOf(line), m_streams.libraryMessages));
        });
        if (!earlier) PrintMessage(m_streams.err, earlier.error().message);
    }
    if (m_options.log) {
        if (const Result<bool> log = m_session.OpenLog(); !log) {
            PrintMessage(m_streams.err, log.error().message + "; verdicts are not logged");
            m_logTold = true;
        }
    }
}

void BatchRun::Log(const fs::path& file, Verdict verdict) {
    const Result<void> logged = m_session.LogVerdict(file, verdict);
    if (logged || m_logTold) return;
    // A write that failed: said at once, and counted for the summary.
    ++m_unlogged;
    if (m_unlogged == 1) {
        PrintMessage(m_streams.err, logged.error().message + "; the verdict of " + file.string() +
                                        " is not logged");
    }
}

void BatchRun::Finish(std::size_t position, AuditedPhoto audited) {
    const fs::path& file = m_photos[position];
    PhotoReport report;
    report.file = file;
    report.position = position;
    report.showTrace = m_options.explain;
    report.audit = std::move(audited.audit);
    report.error = report.audit.failure;
    report.reason = ExplainAudit(report.audit);
    report.settings = m_session.settings();

    const bool passed = report.audit.verdict == Verdict::Passed;
    if (passed && m_options.outDir) m_saved = Save(position, report) && m_saved;
    if (report.audit.failure && !AuditBroke(*report.audit.failure)) {
        m_unreadable.push_back(file.string());
    }
    if (report.error) {
        if (m_streams.progress == ProgressStyle::InPlace) m_streams.err << kClearLine;
        PrintMessage(m_streams.err, file.string() + ": " + report.error->message);
    }
    TellWarnings(file, report.audit.warnings);
    if (m_options.log) Log(file, report.audit.verdict);

    const std::string line = JsonLine(PhotoJson(report));
    m_printed = PrintLine(m_streams.out, line) && m_printed;
    if (m_resume != nullptr && m_appended) {
        if (Result<void> appended = m_resume->Append(line + "\n"); !appended) {
            PrintMessage(m_streams.err, appended.error().message);
            m_appended = false;
        }
    }
    if (m_html) AddToReport(line, audited.photo);
    ++m_done;
    if (passed) ++m_passed;
    ShowProgress(m_streams.err, m_streams.progress, {m_done, m_total, m_passed, 0, 0}, m_started,
                 file, report.audit.verdict, report.savedPath);
}

void BatchRun::TellWarnings(const fs::path& file, const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) {
        if (m_streams.progress == ProgressStyle::InPlace) m_streams.err << kClearLine;
        PrintMessage(m_streams.err, file.string() + ": decoder warning: " + warning);
    }
}

int BatchRun::End(bool listComplete, bool interrupted) {
    std::ostream& err = m_streams.err;
    ShowSummary(err, m_streams.progress, {m_done, m_total, m_passed, m_earlier, m_earlierPassed});
    bool ok = m_saved && m_appended && m_reportOk;
    if (m_html) {
        report::ReportHead head;
        const Settings& settings = m_session.settings();
        head.settings = "color " + std::to_string(static_cast<int>(settings.color)) + ", size " +
                        std::to_string(static_cast<int>(settings.size));
        head.version = std::string("quorvel-audit ") + QUORVEL_VERSION;
        head.date = LocalDate();
        head.earlier = m_earlier;
        head.interrupted = interrupted;
        head.unreadable = m_unreadable;
        m_html->SetHead(std::move(head));
        // Complete or not at all, and never in place of another file.
        if (const Result<void> written = m_html->Finish(); !written) {
            PrintMessage(err, written.error().message);
            ok = false;
        }
    }
    if (!m_printed) PrintMessage(err, "cannot write the results to standard output");
    if (m_unlogged > 1) {
        PrintMessage(err, std::to_string(m_unlogged) + " of " + std::to_string(m_done) +
                              " verdicts could not be written to " +
                              m_session.log().fileName().string());
    }
    if (!m_unreadable.empty()) {
        PrintMessage(err, std::to_string(m_unreadable.size()) +
                              (m_unreadable.size() == 1 ? " input" : " inputs") +
                              " could not be read; their lines carry an \"error\"");
    }
    if (interrupted) {
        PrintMessage(err, GoOnMessage(m_options, m_done, m_total));
        return kExitInterrupted;
    }
    if (!m_unreadable.empty() || !listComplete) return kExitUnreadable;
    if (!ok || !m_printed) return kExitSomeFailed;
    // Rejections, of this run and of the earlier runs its results hold.
    const bool rejected = m_done - m_passed + m_earlier - m_earlierPassed > 0;
    return rejected && !m_options.exitZero ? kExitSomeFailed : kExitAllPassed;
}

void BatchRun::AddToReport(const std::string& line, const cv::Mat& photo) {
    // The card's pictures of a large photo may not fit in memory: the report
    // is then incomplete and not written, the run goes on.
    const PhotoOutcome recorded = AuditOutcomeOf(JsonObject::parse(line));
    try {
        m_html->Add(report::ReportEntry(recorded, photo));
    } catch (const std::exception& e) {
        PrintMessage(m_streams.err,
                     "the report is not written: " + recorded.file.string() + ": " + e.what());
        m_html.reset();
        m_reportOk = false;
    }
}

bool BatchRun::Save(std::size_t position, PhotoReport& report) {
    if (const Result<void>& allowed = m_plan.SaveAllowed(position); !allowed) {
        report.error = allowed.error();
        return false;
    }
    const Result<SavedPhoto> saved =
        SaveProcessedPhotoIn(report.audit.processedPhoto, *m_folders.out,
                             m_plan.OutputName(position), m_streams.temporaries);
    if (!saved) {
        report.error = saved.error();
        return false;
    }
    report.savedPath = saved->target;
    return true;
}

}  // namespace quorvel::cli
