#include "cli/AuditCommand.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>
#include <set>
#include <variant>

#include "cli/HtmlReport.h"
#include "cli/JsonReport.h"
#include "cli/PhotoList.h"
#include "core/audit/FaceDetect.h"
#include "core/audit/PhotoRules.h"
#include "core/save/SavePhoto.h"
#include "core/verify/GenuinePhoto.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgramName = "quorvel-audit";

const char* const kDescription =
    "Audits identity photos as the Quorvel window does and prints one JSON line per photo.\n"
    "  quorvel-audit [options] PHOTO|FOLDER...\n"
    "  quorvel-audit [--config FILE] --show-config\n"
    "  quorvel-audit [--config FILE] [--color N] [--size N] [--cascade FILE] [--explain] --verify "
    "FILE...\n"
    "Exit status: 0 all passed (or all genuine), 1 some did not, "
    "2 usage or start-up error.";

void Message(std::ostream& err, const std::string& text) {
    err << kProgramName << ": " << text << '\n';
}

// The start-up failure in the words the command has always used.
std::string StartupMessage(const Error& problem) {
    if (problem.kind == ErrorKind::CascadeUnusable) return problem.message;
    return problem.message + " (give --config FILE, or both --color and --size)";
}

ParsedCommand UsageError(std::ostream& err, const std::string& text) {
    Message(err, text + "\nRun " + kProgramName + " --help for the options.");
    return {std::nullopt, kExitUsage};
}

}  // namespace

ParsedCommand ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                               std::ostream& err) {
    CLI::App app(kDescription, kProgramName);
    AuditOptions options;
    int color = 0;
    int size = 0;
    std::string configPath;
    std::string cascade;
    std::string outDir;
    std::vector<std::string> files;
    std::string reportPath;
    bool showConfig = false;
    bool verify = false;

    CLI::Option* configOpt =
        app.add_option("--config", configPath, "configuration file (default ./cfg.ini)")
            ->type_name("FILE");
    CLI::Option* colorOpt =
        app.add_option("--color", color,
                       "background colour: 0 white, 1 red, 2 blue, 3 any (overrides the file)")
            ->type_name("N");
    CLI::Option* sizeOpt =
        app.add_option("--size", size, "size mode: 1 or 2 (overrides the file)")->type_name("N");
    CLI::Option* cascadeOpt =
        app.add_option("--cascade", cascade, "face cascade file")->type_name("FILE");
    CLI::Option* outOpt = app.add_option("--out", outDir, "save each passed photo into this folder")
                              ->type_name("DIR");
    CLI::Option* extOpt =
        app.add_option("--ext", options.extension, "format of the saved photos (default jpg)")
            ->type_name("jpg|png")
            ->check(CLI::IsMember({"jpg", "png"}).description(""));
    CLI::Option* explainOpt =
        app.add_flag("--explain", options.explain, "add the measured values to each line");
    CLI::Option* logOpt =
        app.add_flag("--log", options.log, "append the verdicts to Test.log as the window does");
    CLI::Option* showOpt =
        app.add_flag("--show-config", showConfig, "print the settings of the configuration file");
    CLI::Option* reportOpt =
        app.add_option("--report", reportPath, "also write an HTML report of the audit")
            ->type_name("FILE.html");
    CLI::Option* recursiveOpt = app.add_flag("--recursive", options.recursive,
                                             "audit the photos in sub-folders of a FOLDER too");
    app.add_flag("--verify", verify,
                 "tell for each FILE whether it is a photo saved by a passed audit");
    app.add_option("PHOTO", files, "photos or folders to audit (files to check with --verify)")
        ->type_name("FILE");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return {std::nullopt, kExitAllPassed};
    } catch (const CLI::ParseError& e) {
        return UsageError(err, e.what());
    }

    if (configOpt->count() > 0) options.configPath = configPath;
    if (colorOpt->count() > 0) options.color = static_cast<BackgroundColor>(color);
    if (sizeOpt->count() > 0) options.size = static_cast<SizeMode>(size);
    options.files.assign(files.begin(), files.end());
    if (cascadeOpt->count() > 0) options.cascadePath = cascade;
    if (outOpt->count() > 0) options.outDir = outDir;
    if (reportOpt->count() > 0) options.reportPath = reportPath;
    options.mode = showConfig ? CommandMode::ShowConfig
                   : verify   ? CommandMode::Verify
                              : CommandMode::Audit;

    // What the parser cannot tell: options of an audit mean nothing to the
    // other two modes, and each mode needs its files or none.
    auto usageProblem = [&]() -> std::string {
        if (showConfig || verify) {
            std::vector<CLI::Option*> foreign = {outOpt, extOpt, logOpt, reportOpt, recursiveOpt};
            if (showConfig) {
                foreign.insert(foreign.end(), {colorOpt, sizeOpt, cascadeOpt, explainOpt});
            }
            if (verify) foreign.push_back(showOpt);
            for (CLI::Option* option : foreign) {
                if (option->count() > 0) {
                    return std::string(verify ? "--verify" : "--show-config") +
                           " cannot be used with " + option->get_name();
                }
            }
        }
        switch (options.mode) {
            case CommandMode::ShowConfig:
                if (!options.files.empty()) return "--show-config takes no files";
                break;
            case CommandMode::Verify:
                if (options.files.empty()) return "no files given to --verify";
                break;
            case CommandMode::Audit:
                if (options.files.empty()) return "no photos given";
                break;
        }
        if (options.outDir && options.outDir->empty()) return "--out needs a folder name";
        if (options.reportPath && options.reportPath->empty()) return "--report needs a file name";
        return {};
    };
    const std::string problem = usageProblem();
    if (!problem.empty()) return UsageError(err, problem);
    return {std::move(options), kExitAllPassed};
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

fs::path OutputPathFor(const fs::path& outDir, const fs::path& photo,
                       const std::string& extension) {
    fs::path name = photo.stem();
    name += "." + extension;
    return outDir / name;
}

namespace {

// Prints a line and reports whether it reached the stream.
bool PrintLine(std::ostream& out, const JsonObject& object) {
    out << JsonLine(object) << '\n';
    out.flush();
    return static_cast<bool>(out);
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
    if (!PrintLine(out, SettingsJson(file->settings))) {
        Message(err, "cannot write the results to standard output");
        return kExitSomeFailed;
    }
    return kExitAllPassed;
}

int Verify(const AuditOptions& options, std::ostream& out, std::ostream& err) {
    Result<Session> opened = Session::Open(SessionOptionsFor(options));
    if (!opened) {
        Message(err, StartupMessage(opened.error()));
        return kExitUsage;
    }
    Session& session = *opened;

    bool allGenuine = true;
    bool printed = true;
    for (const fs::path& file : options.files) {
        // A file that cannot be read, is too large or runs out of memory is
        // that file's line; the run goes on.
        const GenuineCheck check =
            CheckGenuinePhotoFile(file, session.auditor().cascade(), session.settings());
        allGenuine = allGenuine && check.genuine;
        printed = PrintLine(out, GenuineJson(file, check, options.explain)) && printed;
    }
    if (!printed) Message(err, "cannot write the results to standard output");
    return allGenuine && printed ? kExitAllPassed : kExitSomeFailed;
}

// The card of one audited photo for the HTML report.
HtmlPhotoEntry ReportEntry(const PhotoReport& report, const cv::Mat& photo) {
    const AuditReport& audit = report.audit;
    HtmlPhotoEntry entry;
    entry.file = report.file.string();
    entry.state = VerdictNumber(audit.verdict);
    entry.face = audit.face;
    entry.error = report.error;
    entry.processed = audit.processedPhoto;
    const AuditTrace trace = audit.trace.value_or(AuditTrace{});
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
    entry.values = FlatValues(TraceJson(trace));
    entry.photo = photo;
    return entry;
}

// The path written for a passed photo under --out, or why it was not written.
std::variant<fs::path, std::string> SaveIntoOutDir(const AuditOptions& options,
                                                   const fs::path& photo, const cv::Mat& processed,
                                                   std::set<fs::path>& writtenThisRun) {
    const fs::path target = OutputPathFor(*options.outDir, photo, options.extension);
    const std::string quoted = "\"" + target.string() + "\"";

    // Two photos with the same stem would otherwise leave only the last one.
    if (writtenThisRun.count(target) > 0) {
        return quoted + " was already written for an earlier photo of this run";
    }
    std::error_code ec;
    if (fs::equivalent(target, photo, ec))
        return quoted + " is the photo itself; it is not replaced";
    if (!fs::is_directory(*options.outDir, ec)) {
        fs::create_directories(*options.outDir, ec);
        if (ec) {
            return "cannot create the folder \"" + options.outDir->string() + "\": " + ec.message();
        }
    }
    const Result<SavedPhoto> saved = SaveProcessedPhoto(processed, target);
    if (!saved) return saved.error().message;
    writtenThisRun.insert(target);
    return target;
}

int AuditPhotos(const AuditOptions& options, std::ostream& out, std::ostream& err, bool progress) {
    Result<Session> opened = Session::Open(SessionOptionsFor(options));
    if (!opened) {
        Message(err, StartupMessage(opened.error()));
        return kExitUsage;
    }
    Session& session = *opened;

    const PhotoList list = ExpandPhotoArguments(options.files, options.recursive);
    const std::vector<fs::path>& files = list.photos;
    for (const std::string& problem : list.problems) Message(err, problem);
    std::optional<HtmlReport> html;
    if (options.reportPath) html.emplace();

    if (options.log) {
        if (const Result<bool> log = session.OpenLog(); !log) {
            Message(err, log.error().message + "; verdicts are not logged");
        }
    }

    std::set<fs::path> writtenThisRun;
    std::size_t passed = 0;
    bool allOk = list.problems.empty();
    bool printed = true;
    const std::size_t total = files.size();
    for (std::size_t index = 0; index < total; ++index) {
        const fs::path& file = files[index];

        PhotoReport report;
        report.file = file;
        report.showTrace = options.explain;
        // The report draws on the decoded photo, so it is decoded here once.
        const cv::Mat photo = html ? DecodePhoto(file) : cv::Mat();
        report.audit = html ? session.auditor().AuditDecoded(photo, file, Trace::On)
                            : session.Audit(file, Trace::On);  // the reason needs what was measured
        report.error = report.audit.error;
        report.reason = ExplainAudit(report.audit, session.settings());

        const bool audited = report.audit.verdict == Verdict::Passed;
        bool ok = audited;
        if (audited && options.outDir) {
            auto saved = SaveIntoOutDir(options, file, report.audit.processedPhoto, writtenThisRun);
            if (fs::path* path = std::get_if<fs::path>(&saved)) {
                report.savedPath = *path;
            } else {
                report.error = std::get<std::string>(saved);
                ok = false;
            }
        }
        if (report.error) Message(err, file.string() + ": " + *report.error);
        if (options.log) session.LogVerdict(file, report.audit.verdict);

        printed = PrintLine(out, PhotoJson(report)) && printed;
        if (html) html->Add(ReportEntry(report, photo));
        if (audited) ++passed;
        allOk = allOk && ok;

        if (progress) {
            err << "[" << (index + 1) << "/" << total << "] " << file.string() << ": "
                << VerdictName(report.audit.verdict);
            if (report.savedPath) err << " -> " << report.savedPath->string();
            err << '\n';
        }
    }
    if (progress) {
        err << total << (total == 1 ? " photo, " : " photos, ") << passed << " passed, "
            << (total - passed) << " not passed\n";
    }
    if (html) {
        if (std::optional<std::string> problem = html->WriteTo(*options.reportPath)) {
            Message(err, *problem);
            allOk = false;
        }
    }
    if (!printed) Message(err, "cannot write the results to standard output");
    return allOk && printed ? kExitAllPassed : kExitSomeFailed;
}

}  // namespace

int RunCommand(const AuditOptions& options, std::ostream& out, std::ostream& err, bool progress) {
    switch (options.mode) {
        case CommandMode::ShowConfig:
            return ShowConfig(options, out, err);
        case CommandMode::Verify:
            return Verify(options, out, err);
        case CommandMode::Audit:
            break;
    }
    return AuditPhotos(options, out, err, progress);
}

}  // namespace quorvel::cli
