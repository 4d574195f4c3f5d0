#include <ostream>

#include "cli/modes/Modes.h"
#include "cli/output/Messages.h"
#include "cli/run/BatchRun.h"
#include "cli/run/ResultsMerge.h"
#include "cli/run/RunFiles.h"
#include "cli/run/RunSetup.h"
#include "core/audit/Verdict.h"
#include "core/io/FileStatus.h"
#include "json/ResultsJson.h"
#include "report/ReportEntry.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

// The results files a pattern names; a name that matches nothing as a
// pattern is still itself when it exists ("part[1].jsonl").
Result<std::vector<fs::path>> ResultsFiles(const std::string& pattern) {
    std::vector<fs::path> files = FilesMatching(pattern);
    if (files.empty() && StatusOf(pattern).exists()) files.push_back(pattern);
    if (files.empty()) {
        return Fail(ErrorKind::Usage, "no results file matches " + Quoted(pattern));
    }
    return files;
}

// Every file the merge reads and writes, as a run's: the report never lands
// on a results file, nor standard output on one.
Result<void> CheckMergeFiles(const AuditOptions& options, const ResultsMerge& merge) {
    RunFiles files;
    for (const fs::path& path : merge.files()) {
        if (Result<void> r =
                files.Add(path, "the results (--from-results)", RunFiles::Access::Read);
            !r) {
            return r;
        }
    }
    if (Result<void> r = files.AddDescriptor(1, "standard output"); !r) return r;
    return CheckReportPages(options, merge.lines().size(), 1, files);
}

std::string SettingsText(const std::optional<JsonObject>& settings) {
    if (!settings || !settings->contains("color") || !settings->contains("size")) return "";
    return "color " + (*settings)["color"].dump() + ", size " + (*settings)["size"].dump();
}

// What the merged lines hold, for the status and the report's head.
struct MergedCounts {
    std::size_t rejected = 0;
    std::vector<std::string> unreadable;
    bool printed = true;       // every line reached standard output
    bool interrupted = false;  // stopped by a signal before the last line
};

// The report of the merged lines, begun once every file is checked.
Result<std::optional<report::HtmlReport>> BeginReport(const AuditOptions& options,
                                                      const ResultsMerge& merge,
                                                      RunFolders& folders,
                                                      TemporaryFiles* temporaries) {
    if (Result<void> checked = CheckMergeFiles(options, merge); !checked) return checked.error();
    if (Result<void> opened = OpenRunFolders(options, folders, temporaries); !opened) {
        return opened.error();
    }
    if (!options.reportPath) return std::optional<report::HtmlReport>();
    Result<report::HtmlReport> begun =
        report::HtmlReport::Begin(*options.reportPath, temporaries, &*folders.report);
    if (!begun) return begun.error();
    return std::optional<report::HtmlReport>(std::move(begun).value());
}

// Prints every merged line, in order, and adds its card to the report.
Result<MergedCounts> PrintMerged(const ResultsMerge& merge, const CommandStreams& streams,
                                 report::HtmlReport* html) {
    MergedCounts counts;
    for (const ResultsMerge::Line& line : merge.lines()) {
        if (streams.stop != nullptr && streams.stop->load()) {
            counts.interrupted = true;
            return counts;
        }
        Result<std::string> text = merge.Text(line);
        if (!text) return text.error();
        counts.printed = PrintLine(streams.out, *text) && counts.printed;
        const PhotoOutcome recorded = AuditOutcomeOf(JsonObject::parse(*text, nullptr, false));
        if (recorded.audit.verdict != Verdict::Passed) ++counts.rejected;
        if (recorded.error && recorded.audit.decision.rule == rule_id::kUnreadable) {
            counts.unreadable.push_back(recorded.file.string());
        }
        if (html != nullptr) html->Add(report::ResultsEntry(recorded, streams.libraryMessages));
    }
    return counts;
}

Result<void> FinishReport(report::HtmlReport& html, const ResultsMerge& merge,
                          const MergedCounts& counts) {
    report::ReportHead head;
    head.settings = SettingsText(merge.settings());
    head.version = std::string("quorvel-audit ") + QUORVEL_VERSION;
    head.date = LocalDate();
    head.earlier = merge.lines().size();
    for (const fs::path& path : merge.files()) head.sources.push_back(path.string());
    head.unreadable = counts.unreadable;
    html.SetHead(std::move(head));
    return html.Finish();
}

}  // namespace

int MergeResults(const AuditOptions& options, const CommandStreams& streams) {
    std::ostream& err = streams.err;
    Result<std::vector<fs::path>> paths = ResultsFiles(*options.fromResults);
    Result<ResultsMerge> merge =
        paths ? ResultsMerge::Open(*paths) : Result<ResultsMerge>(paths.error());
    RunFolders folders;
    Result<std::optional<report::HtmlReport>> html =
        merge ? BeginReport(options, *merge, folders, streams.temporaries)
              : Result<std::optional<report::HtmlReport>>(merge.error());
    if (!html) {
        PrintMessage(err, html.error().message);
        return kExitUsage;
    }
    const Result<MergedCounts> counts =
        PrintMerged(*merge, streams, html->has_value() ? &**html : nullptr);
    if (!counts) {
        PrintMessage(err, counts.error().message);
        return kExitUsage;
    }
    if (counts->interrupted) {
        PrintMessage(err,
                     "interrupted: the merge is incomplete and no report is written; run "
                     "it again");
        return kExitInterrupted;
    }
    bool ok = counts->printed;
    if (!ok) PrintMessage(err, "cannot write the results to standard output");
    if (html->has_value()) {
        if (const Result<void> written = FinishReport(**html, *merge, *counts); !written) {
            PrintMessage(err, written.error().message);
            ok = false;
        }
    }
    for (const fs::path& path : merge->unfinished()) {
        PrintMessage(err, "the last line of the results " + path.string() +
                              " is unfinished (a run stopped while writing it) and left out; "
                              "go on with that part's --resume to audit its photo again");
    }
    if (!counts->unreadable.empty() || !merge->unfinished().empty()) return kExitUnreadable;
    if (!ok) return kExitSomeFailed;
    return counts->rejected > 0 && !options.exitZero ? kExitSomeFailed : kExitAllPassed;
}

}  // namespace quorvel::cli
