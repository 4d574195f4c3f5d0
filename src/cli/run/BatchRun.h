#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/options/CommandOptions.h"
#include "cli/output/JsonReport.h"
#include "cli/output/Messages.h"
#include "cli/output/Streams.h"
#include "cli/run/AuditPipeline.h"
#include "cli/run/OutputPlan.h"
#include "cli/run/ResumeFile.h"
#include "report/HtmlReport.h"

namespace quorvel::cli {

// The folders a run writes in, opened before its first audit.
struct RunFolders {
    std::optional<OpenFolder> out;       // --out
    std::optional<OpenFolder> report;    // the folder of --report
    std::optional<NameLock> reportLock;  // held while the run may write the report
};

// One audit run: what it knows before the first audit, and what each
// finished photo goes through, in input order.
class BatchRun {
public:
    BatchRun(const AuditOptions& options, const CommandStreams& streams, Session& session,
             const std::vector<std::filesystem::path>& photos, const OutputPlan& plan,
             RunFolders& folders)
        : m_options(options),
          m_streams(streams),
          m_session(session),
          m_photos(photos),
          m_plan(plan),
          m_folders(folders) {}

    // The positions this run audits: its part of a split run, without those
    // an earlier run finished.
    std::vector<std::size_t> Positions(const ResumeFile* resume) const;

    // Begins the report (with the earlier runs' photos, each card made from
    // its line) and the log.
    void Start(std::size_t total, ResumeFile* resume);

    // Saves, logs, prints and reports one photo.
    void Finish(std::size_t position, AuditedPhoto audited);

    // The summary, the report and the exit status, over the whole results
    // file after --resume. `interrupted`: the run was stopped by a signal
    // before its end.
    int End(bool listComplete, bool interrupted);

private:
    bool Save(std::size_t position, PhotoReport& report);
    // Writes the verdict line; a failed write is told once and counted.
    void Log(const std::filesystem::path& file, Verdict verdict);
    // The card made from the photo's line, as a card made later from the
    // results is, with the photo decoded for the audit.
    void AddToReport(const std::string& line, const cv::Mat& photo);
    // Tells the decoder's warnings, each with the photo's name.
    void TellWarnings(const std::filesystem::path& file, const std::vector<std::string>& warnings);

    const AuditOptions& m_options;
    const CommandStreams& m_streams;
    Session& m_session;
    const std::vector<std::filesystem::path>& m_photos;
    const OutputPlan& m_plan;
    RunFolders& m_folders;
    std::optional<report::HtmlReport> m_html;
    bool m_reportOk = true;
    ResumeFile* m_resume = nullptr;
    std::size_t m_total = 0;
    std::size_t m_done = 0;
    std::size_t m_passed = 0;
    std::size_t m_earlier = 0;        // photos of the results' earlier runs
    std::size_t m_earlierPassed = 0;  // and how many of them passed
    std::vector<std::string> m_unreadable;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    bool m_saved = true;  // every save asked for was made
    bool m_printed = true;
    bool m_appended = true;
    bool m_logTold = false;      // the log could not be opened, and the user was told
    std::size_t m_unlogged = 0;  // verdict lines whose write failed
};

// The local date and time a report states ("2026-12-08 14:05").
std::string LocalDate();

}  // namespace quorvel::cli
