#include <istream>
#include <ostream>

#include "cli/modes/Modes.h"
#include "cli/output/Messages.h"
#include "cli/run/AuditPipeline.h"
#include "cli/run/BatchRun.h"
#include "cli/run/OutputPlan.h"
#include "cli/run/ResumeFile.h"
#include "cli/run/RunSetup.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

// All the photos of the run: those named on the command line (folders
// expanded), then those of the list file.
Result<PhotoList> CollectPhotos(const AuditOptions& options, std::istream& in) {
    std::vector<fs::path> arguments = options.files;
    if (options.filesFrom) {
        Result<std::vector<fs::path>> listed =
            ReadNameList(*options.filesFrom, options.separator, in);
        if (!listed) return listed.error();
        arguments.insert(arguments.end(), std::make_move_iterator(listed->begin()),
                         std::make_move_iterator(listed->end()));
    }
    return ExpandPhotoArguments(arguments, options.recursive);
}

// The results of earlier runs, and the further report pages their photos
// need, checked as the run's other files.
Result<ResumeFile> OpenResume(const AuditOptions& options, const Settings& settings,
                              std::size_t photos, RunFiles& files) {
    Result<ResumeFile> opened = ResumeFile::Open(*options.resumePath, settings);
    if (!opened) return opened;
    const std::size_t cards = photos + opened->FinishedCount();
    if (Result<void> pages = CheckReportPages(options, cards, ReportPages(photos) + 1, files);
        !pages) {
        return pages.error();
    }
    return opened;
}

}  // namespace

int AuditPhotos(const AuditOptions& options, const CommandStreams& streams) {
    std::optional<Session> session = OpenSession(options, streams.err);
    if (!session) return kExitUsage;

    Result<PhotoList> list = CollectPhotos(options, streams.in);
    if (!list) {
        PrintMessage(streams.err, list.error().message);
        return kExitUsage;
    }
    for (const std::string& note : list->notes) PrintMessage(streams.err, note);
    for (const Error& problem : list->problems) PrintMessage(streams.err, problem.message);
    const std::vector<fs::path>& photos = list->photos;

    // Before the first audit: every file the run reads and writes, the
    // folders it writes in, the results it goes on from.
    const OutputPlan plan(*list, options.outDir, options.extension);
    RunFiles files;
    if (Result<void> checked = CheckRunFiles(options, *session, plan, files); !checked) {
        PrintMessage(streams.err, checked.error().message);
        return kExitUsage;
    }
    RunFolders folders;
    if (Result<void> opened = OpenRunFolders(options, folders, streams.temporaries); !opened) {
        PrintMessage(streams.err, opened.error().message);
        return kExitUsage;
    }
    std::optional<ResumeFile> resume;
    if (options.resumePath) {
        Result<ResumeFile> opened = OpenResume(options, session->settings(), photos.size(), files);
        if (!opened) {
            PrintMessage(streams.err, opened.error().message);
            return kExitUsage;
        }
        resume.emplace(std::move(opened).value());
    }

    BatchRun run(options, streams, *session, photos, plan, folders);
    const std::vector<std::size_t> positions = run.Positions(resume ? &*resume : nullptr);
    run.Start(positions.size(), resume ? &*resume : nullptr);

    PipelineOptions pipeline;
    pipeline.keepPhoto = options.reportPath.has_value();
    // The trace: --explain prints it, and a card shows what its line holds.
    pipeline.trace = options.explain;
    pipeline.stop = streams.stop;
    pipeline.messages = streams.libraryMessages;
    if (options.jobs || options.shard) pipeline.workers = options.jobs.value_or(1);
    const Result<std::size_t> ran = RunAuditPipeline(
        *session, photos, positions, pipeline, [&run](std::size_t position, AuditedPhoto audited) {
            run.Finish(position, std::move(audited));
        });
    if (!ran) {
        PrintMessage(streams.err, StartupMessage(ran.error()));
        return kExitUsage;
    }
    return run.End(list->problems.empty(), *ran < positions.size());
}

}  // namespace quorvel::cli
