#include "cli/AuditCommand.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <istream>
#include <ostream>

#include "cli/AuditPipeline.h"
#include "cli/BatchRun.h"
#include "cli/HelpText.h"
#include "cli/JsonReport.h"
#include "cli/NameText.h"
#include "cli/OutputPlan.h"
#include "cli/ResumeFile.h"
#include "cli/RunSetup.h"
#include "core/config/ConfigPlaces.h"
#include "core/io/ImageFiles.h"
#include "core/save/SavePhoto.h"
#include "core/text/Encoding.h"
#include "core/verify/GenuinePhoto.h"
#include "report/HtmlReport.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgramName = "quorvel-audit";
constexpr int kMaxJobs = 256;

const char* const kDescription =
    "Audits identity photos as the Quorvel window does and prints one JSON line per photo.";

void Message(std::ostream& err, const std::string& text) { PrintMessage(err, text); }

// The start-up failure in the words the command has always used.
std::string StartupMessage(const Error& problem) {
    if (problem.kind == ErrorKind::CascadeUnusable) return problem.message;
    return problem.message + " (give --config FILE, or both --color and --size)";
}

ParsedCommand UsageError(std::ostream& err, const std::string& text) {
    Message(err, text);
    err << "Run " << kProgramName << " --help for the options.\n";
    return {std::nullopt, kExitUsage};
}

}  // namespace

void PrintMessage(std::ostream& err, const std::string& text) {
    err << kProgramName << ": " << TerminalText(text) << '\n';
}

bool PrintLine(std::ostream& out, const std::string& line) {
    out << line << '\n';
    out.flush();
    return static_cast<bool>(out);
}

bool AuditOptions::Given(const std::string& name) const {
    return std::find(given.begin(), given.end(), name) != given.end();
}

std::optional<Shard> ParseShard(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    auto number = [](std::string_view digits) -> std::optional<std::size_t> {
        std::size_t value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
            return std::nullopt;
        }
        return value;
    };
    const std::optional<std::size_t> index = number(std::string_view(text).substr(0, slash));
    const std::optional<std::size_t> count = number(std::string_view(text).substr(slash + 1));
    if (!index || !count || *count == 0 || *index >= *count) return std::nullopt;
    return Shard{*index, *count};
}

Result<AuditOptions> ValidateOptions(AuditOptions options) {
    auto usage = [](const std::string& text) { return Fail(ErrorKind::Usage, text); };
    const bool showConfig = options.mode == CommandMode::ShowConfig;
    const bool verify = options.mode == CommandMode::Verify;

    // Options of an audit mean nothing to the other two modes.
    if (showConfig || verify) {
        // --explain adds every measured value to --verify's lines too.
        std::vector<std::string> foreign = {"--out",        "--ext",   "--log",     "--report",
                                            "--recursive",  "-0",      "--resume",  "--jobs",
                                            "--files-from", "--shard", "--progress"};
        if (showConfig) {
            foreign.insert(foreign.end(), {"--color", "--size", "--cascade", "--explain"});
        }
        if (verify) foreign.push_back("--show-config");
        for (const std::string& option : foreign) {
            if (options.Given(option)) {
                return usage(std::string(verify ? "--verify" : "--show-config") +
                             " cannot be used with " + option);
            }
        }
    }
    switch (options.mode) {
        case CommandMode::ShowConfig:
            if (!options.files.empty()) return usage("--show-config takes no files");
            break;
        case CommandMode::Verify:
            if (options.files.empty()) return usage("no files given to --verify");
            break;
        case CommandMode::Audit:
            if (options.files.empty() && !options.filesFrom) return usage("no photos given");
            break;
    }
    if (options.outDir && options.outDir->empty()) return usage("--out needs a folder name");
    if (options.reportPath && options.reportPath->empty()) {
        return usage("--report needs a file name");
    }
    if (options.filesFrom && options.filesFrom->empty()) {
        return usage("--files-from needs a file name (- for standard input)");
    }
    if (options.Given("-0") && !options.filesFrom) return usage("-0 needs --files-from");
    if (options.resumePath && options.resumePath->empty()) {
        return usage("--resume needs a file name");
    }
    if (options.jobs && (*options.jobs < 1 || *options.jobs > kMaxJobs)) {
        return usage("--jobs needs a number from 1 to " + std::to_string(kMaxJobs));
    }
    if (options.shardText) {
        options.shard = ParseShard(*options.shardText);
        if (!options.shard) return usage("--shard needs K/N with 0 <= K < N, such as 0/4");
    }
    return options;
}

namespace {

// The values of the options as CLI11 reads them, before they become typed
// settings.
struct RawOptions {
    int color = 0;
    int size = 0;
    int jobs = 1;
    std::string configPath;
    std::string cascade;
    std::string outDir;
    std::vector<std::string> files;
    std::string reportPath;
    std::string filesFrom;
    std::string resumePath;
    std::string shard;
    bool showConfig = false;
    bool verify = false;
    bool nul = false;
};

// Defines the named options on `app`; they are returned so that the ones
// given can be listed.
std::vector<CLI::Option*> DefineOptions(CLI::App& app, RawOptions& flags, AuditOptions& options) {
    return {
        app.add_option("--config", flags.configPath,
                       "configuration file (default ./cfg.ini, else the per-user and then the "
                       "installed cfg.ini)")
            ->type_name("FILE"),
        app.add_option("--color", flags.color,
                       "background colour: 0 white, 1 red, 2 blue, 3 any (overrides the file)")
            ->type_name("N")
            ->check(CLI::Range(0, 3).description("")),
        app.add_option("--size", flags.size, "size mode: 1 or 2 (overrides the file)")
            ->type_name("N")
            ->check(CLI::Range(1, 2).description("")),
        app.add_option("--cascade", flags.cascade, "face cascade file")->type_name("FILE"),
        app.add_option("--out", flags.outDir, "save each passed photo into this folder")
            ->type_name("DIR"),
        app.add_option("--ext", options.extension, "format of the saved photos (default jpg)")
            ->type_name("jpg|png")
            ->check(CLI::IsMember({"jpg", "png"}).description("")),
        app.add_flag("--explain", options.explain, "add the measured values to each line"),
        app.add_flag("--log", options.log, "append the verdicts to Test.log as the window does"),
        app.add_flag("--show-config", flags.showConfig,
                     "print the settings of the configuration file"),
        app.add_option("--report", flags.reportPath, "also write an HTML report of the audit")
            ->type_name("FILE.html"),
        app.add_flag("--recursive", options.recursive,
                     "audit the photos in sub-folders of a FOLDER too"),
        app.add_option("--files-from", flags.filesFrom,
                       "also audit the photos listed in this file, one a line (- reads standard "
                       "input)")
            ->type_name("LIST"),
        app.add_flag("-0", flags.nul, "the list of --files-from is separated by NUL bytes"),
        app.add_option("--resume", flags.resumePath,
                       "skip the photos that have a line in this file of JSON lines, and append "
                       "the new lines to it")
            ->type_name("RESULTS.jsonl"),
        app.add_option("--jobs", flags.jobs,
                       "audit N photos at a time (each as a fresh window would)")
            ->type_name("N"),
        app.add_option("--shard", flags.shard,
                       "audit only part K of N: the photos whose rank in the list sorted by path "
                       "leaves remainder K divided by N")
            ->type_name("K/N"),
        app.add_flag("--progress", options.progress,
                     "show progress on standard error even when it is not a terminal"),
        app.add_flag("--verify", flags.verify,
                     "tell for each FILE whether it is a photo saved by a passed audit"),
    };
}

// The typed options from what was read; only options given replace defaults.
AuditOptions TypedOptions(const RawOptions& flags, AuditOptions options,
                          const std::vector<CLI::Option*>& named, int argc,
                          const char* const* argv) {
    for (CLI::Option* option : named) {
        if (option->count() > 0) options.given.push_back(option->get_name());
    }
    if (options.Given("--config")) options.configPath = flags.configPath;
    if (options.Given("--color")) options.color = static_cast<BackgroundColor>(flags.color);
    if (options.Given("--size")) options.size = static_cast<SizeMode>(flags.size);
    if (options.Given("--cascade")) options.cascadePath = flags.cascade;
    if (options.Given("--out")) options.outDir = flags.outDir;
    if (options.Given("--report")) options.reportPath = flags.reportPath;
    if (options.Given("--files-from")) options.filesFrom = flags.filesFrom;
    if (flags.nul) options.separator = ListSeparator::Nul;
    if (options.Given("--resume")) options.resumePath = flags.resumePath;
    if (options.Given("--jobs")) options.jobs = flags.jobs;
    if (options.Given("--shard")) options.shardText = flags.shard;
    options.files.assign(flags.files.begin(), flags.files.end());
    options.commandLine.assign(argv, argv + argc);
    options.mode = flags.showConfig ? CommandMode::ShowConfig
                   : flags.verify   ? CommandMode::Verify
                                    : CommandMode::Audit;
    return options;
}

}  // namespace

ParsedCommand ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                               std::ostream& err) {
    CLI::App app(kDescription, kProgramName);
    AuditOptions options;
    RawOptions flags;
    const std::vector<CLI::Option*> named = DefineOptions(app, flags, options);
    app.add_option("PHOTO", flags.files,
                   "photos or folders to audit (files to check with --verify)")
        ->type_name("FILE");
    app.set_version_flag("--version", std::string(kProgramName) + " " + QUORVEL_VERSION,
                         "print the program's name and version and exit");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << kHelpText;
        return {std::nullopt, kExitAllPassed};
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return {std::nullopt, kExitAllPassed};
    } catch (const CLI::ParseError& e) {
        return UsageError(err, e.what());
    }

    Result<AuditOptions> valid =
        ValidateOptions(TypedOptions(flags, std::move(options), named, argc, argv));
    if (!valid) return UsageError(err, valid.error().message);
    return {std::move(valid).value(), kExitAllPassed};
}

SessionOptions SessionOptionsFor(const AuditOptions& options) {
    SessionOptions session;
    session.configPath = options.configPath;
    session.color = options.color;
    session.size = options.size;
    if (options.cascadePath) {
        session.cascadeCandidates = {*options.cascadePath};
    } else {
        session.cascadeCandidates = {kCascadeFileName, SystemCascadePath()};
    }
    return session;
}

namespace {

// The session of an audit or a verification, or nothing after telling why
// it cannot start.
std::optional<Session> OpenSession(const AuditOptions& options, std::ostream& err) {
    Result<Session> opened = Session::Open(SessionOptionsFor(options));
    if (!opened) {
        Message(err, StartupMessage(opened.error()));
        return std::nullopt;
    }
    return std::move(opened).value();
}

int ShowConfig(const AuditOptions& options, std::ostream& out, std::ostream& err) {
    const Result<SettingsFile> file = ReadSettings(options.configPath);
    if (!file) {
        Message(err, file.error().message);
        return kExitUsage;
    }
    if (file->errorLine > 0) {
        Message(err, "\"" + options.configPath.string() + "\" line " +
                         std::to_string(file->errorLine) +
                         ": not a section or key line (ignored, as the window does)");
    }
    if (!PrintLine(out, JsonLine(SettingsJson(file->settings)))) {
        Message(err, "cannot write the results to standard output");
        return kExitSomeFailed;
    }
    return kExitAllPassed;
}

int Verify(const AuditOptions& options, std::ostream& out, std::ostream& err,
           const std::atomic<bool>* stop) {
    std::optional<Session> session = OpenSession(options, err);
    if (!session) return kExitUsage;

    bool allGenuine = true;
    bool printed = true;
    for (const fs::path& file : options.files) {
        if (stop != nullptr && stop->load()) return kExitInterrupted;
        // A file that cannot be read, is too large or runs out of memory is
        // that file's line; the run goes on.
        const GenuineCheck check =
            CheckGenuinePhotoFile(file, session->auditor().cascade(), session->settings());
        allGenuine = allGenuine && check.genuine;
        printed = PrintLine(out, JsonLine(GenuineJson(file, check, options.explain))) && printed;
    }
    if (!printed) Message(err, "cannot write the results to standard output");
    return allGenuine && printed ? kExitAllPassed : kExitSomeFailed;
}

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

int AuditPhotos(const AuditOptions& options, const CommandStreams& streams) {
    std::optional<Session> session = OpenSession(options, streams.err);
    if (!session) return kExitUsage;

    Result<PhotoList> list = CollectPhotos(options, streams.in);
    if (!list) {
        Message(streams.err, list.error().message);
        return kExitUsage;
    }
    for (const std::string& note : list->notes) Message(streams.err, note);
    for (const Error& problem : list->problems) Message(streams.err, problem.message);
    const std::vector<fs::path>& photos = list->photos;

    // Before the first audit: every file the run reads and writes, the
    // folders it writes in, the results it goes on from.
    RunFiles files;
    if (Result<void> checked = CheckRunFiles(options, *session, photos, files); !checked) {
        Message(streams.err, checked.error().message);
        return kExitUsage;
    }
    RunFolders folders;
    if (Result<void> opened = OpenRunFolders(options, folders); !opened) {
        Message(streams.err, opened.error().message);
        return kExitUsage;
    }
    const OutputPlan plan(photos, options.outDir, options.extension);
    std::optional<ResumeFile> resume;
    if (options.resumePath) {
        Result<ResumeFile> opened = ResumeFile::Open(*options.resumePath, session->settings());
        if (!opened) {
            Message(streams.err, opened.error().message);
            return kExitUsage;
        }
        resume.emplace(std::move(opened).value());
        // The report also holds the earlier runs' photos: its further pages too.
        const std::size_t cards = photos.size() + resume->FinishedCount();
        if (Result<void> pages =
                CheckReportPages(options, cards, ReportPages(photos.size()) + 1, files);
            !pages) {
            Message(streams.err, pages.error().message);
            return kExitUsage;
        }
    }

    BatchRun run(options, streams, *session, photos, plan, folders);
    const std::vector<std::size_t> positions = run.Positions(resume ? &*resume : nullptr);
    run.Start(positions.size(), resume ? &*resume : nullptr);

    PipelineOptions pipeline;
    pipeline.keepPhoto = options.reportPath.has_value();
    pipeline.stop = streams.stop;
    if (options.jobs || options.shard) pipeline.workers = options.jobs.value_or(1);
    const Result<std::size_t> ran = RunAuditPipeline(
        *session, photos, positions, pipeline, [&run](std::size_t position, AuditedPhoto audited) {
            run.Finish(position, std::move(audited));
        });
    if (!ran) {
        Message(streams.err, StartupMessage(ran.error()));
        return kExitUsage;
    }
    return run.End(list->problems.empty(), *ran < positions.size());
}

}  // namespace

AuditOptions WithSettingsFallback(AuditOptions options, std::ostream& err) {
    const bool readsFile =
        options.mode == CommandMode::ShowConfig || !options.color || !options.size;
    if (options.Given("--config") || !readsFile) return options;
    const ConfigChoice choice = ChooseConfig(options.configPath, UserDataFolderFromEnvironment(),
                                             InstalledDefaultConfigs());
    if (choice.source == ConfigChoice::Source::WorkingDirectory) return options;
    const char* whose = choice.source == ConfigChoice::Source::UserFolder
                            ? "the per-user settings "
                            : "the installed default settings ";
    Message(err, "no " + options.configPath.string() + "; reading " + whose + choice.path.string());
    options.configPath = choice.path;
    return options;
}

int RunCommand(const AuditOptions& given, const CommandStreams& streams) {
    const AuditOptions options = WithSettingsFallback(given, streams.err);
    switch (options.mode) {
        case CommandMode::ShowConfig:
            return ShowConfig(options, streams.out, streams.err);
        case CommandMode::Verify:
            return Verify(options, streams.out, streams.err, streams.stop);
        case CommandMode::Audit:
            break;
    }
    return AuditPhotos(options, streams);
}

}  // namespace quorvel::cli
