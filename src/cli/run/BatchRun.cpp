#include "cli/run/BatchRun.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <exception>
#include <ostream>

#include "cli/output/NameText.h"
#include "cli/output/Progress.h"
#include "core/explain/Explanation.h"
#include "core/save/SavePhoto.h"
#include "json/ResultsJson.h"
#include "report/ReportEntry.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

std::string LocalDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local);
    return text;
}

}  // namespace

std::string ShellWord(const std::string& argument) {
    const bool plain = !argument.empty() && argument.find_first_not_of(
                                                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuv"
                                                "wxyz0123456789-_./=:,+@%") == std::string::npos;
    if (plain) return argument;
    std::string word = "'";
    for (const char c : argument) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
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
    // The report covers the whole results file: the earlier runs' photos too.
    if (m_html && resume != nullptr) {
        const Result<void> earlier = resume->EachFinished([this](const JsonObject& line) {
            m_html->Add(report::ReportEntry(AuditOutcomeOf(line), cv::Mat()));
            ++m_earlier;
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
    report.showTrace = m_options.explain;
    report.audit = std::move(audited.audit);
    report.error = report.audit.failure;
    report.reason = ExplainAudit(report.audit);
    report.settings = m_session.settings();

    const bool passed = report.audit.verdict == Verdict::Passed;
    bool ok = passed;
    if (passed && m_options.outDir) ok = Save(position, report) && ok;
    if (report.audit.failure && !AuditBroke(*report.audit.failure)) {
        m_unreadable.push_back(file.string());
    }
    if (report.error) {
        if (m_streams.progress == ProgressStyle::InPlace) m_streams.err << kClearLine;
        PrintMessage(m_streams.err, file.string() + ": " + report.error->message);
    }
    if (m_options.log) Log(file, report.audit.verdict);

    const std::string line = JsonLine(PhotoJson(report));
    m_printed = PrintLine(m_streams.out, line) && m_printed;
    if (m_resume != nullptr && m_appended) {
        if (Result<void> appended = m_resume->Append(line + "\n"); !appended) {
            PrintMessage(m_streams.err, appended.error().message);
            m_appended = false;
        }
    }
    if (m_html) AddToReport(report, audited.photo);
    ++m_done;
    if (passed) ++m_passed;
    m_allOk = m_allOk && ok;
    ShowProgress(m_streams.err, m_streams.progress, {m_done, m_total, m_passed}, m_started, file,
                 report.audit.verdict, report.savedPath);
}

int BatchRun::End(bool listComplete, bool interrupted) {
    std::ostream& err = m_streams.err;
    ShowSummary(err, m_streams.progress, {m_done, m_total, m_passed});
    bool ok = m_allOk && m_appended && m_reportOk;
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
        TellHowToGoOn();
        return kExitInterrupted;
    }
    if (!m_unreadable.empty() || !listComplete) return kExitUnreadable;
    return ok && m_printed ? kExitAllPassed : kExitSomeFailed;
}

void BatchRun::AddToReport(const PhotoReport& report, const cv::Mat& photo) {
    // The card's pictures of a large photo may not fit in memory: the report
    // is then incomplete and not written, the run goes on.
    try {
        m_html->Add(report::ReportEntry(report, photo));
    } catch (const std::exception& e) {
        PrintMessage(m_streams.err,
                     "the report is not written: " + report.file.string() + ": " + e.what());
        m_html.reset();
        m_reportOk = false;
    }
}

void BatchRun::TellHowToGoOn() const {
    std::string command;
    for (const std::string& argument : m_options.commandLine) {
        command += (command.empty() ? "" : " ") + ShellWord(argument);
    }
    std::string text = "interrupted: " + std::to_string(m_done) + " of " + std::to_string(m_total) +
                       " photos audited";
    if (m_options.resumePath) {
        text += "; to go on, run: " + command;
    } else {
        text +=
            "; their lines are on standard output. To go on, keep those lines in a file "
            "RESULTS.jsonl and run: " +
            command + " --resume RESULTS.jsonl";
    }
    PrintMessage(m_streams.err, text);
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
