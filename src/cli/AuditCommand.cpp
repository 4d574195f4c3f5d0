#include "cli/AuditCommand.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>
#include <set>

#include "app/Log.h"
#include "audit/FaceDetect.h"
#include "audit/PathText.h"
#include "cli/HtmlReport.h"
#include "cli/JsonReport.h"
#include "cli/PhotoList.h"
#include "core/verify/GenuinePhoto.h"
#include "output/SavePhoto.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgramName = "quorvel-audit";

const char* const kDescription =
    "Audits identity photos as the Quorvel window does and prints one JSON line per photo.\n"
    "  quorvel-audit [options] PHOTO|FOLDER...\n"
    "  quorvel-audit [--config FILE] --show-config\n"
    "  quorvel-audit [--config FILE] [--color N] [--size N] [--cascade FILE] --verify FILE...\n"
    "Exit status: 0 all passed (or all genuine), 1 some did not, "
    "2 usage or start-up error.";

void Message(std::ostream& err, const std::string& text) {
    err << kProgramName << ": " << text << '\n';
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
    std::string cascade;
    std::string outDir;
    std::string reportPath;
    bool showConfig = false;
    bool verify = false;

    app.add_option("--config", options.configPath, "configuration file (default ./cfg.ini)")
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
    app.add_option("PHOTO", options.files,
                   "photos or folders to audit (files to check with --verify)")
        ->type_name("FILE");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return {std::nullopt, kExitAllPassed};
    } catch (const CLI::ParseError& e) {
        return UsageError(err, e.what());
    }

    if (colorOpt->count() > 0) options.color = color;
    if (sizeOpt->count() > 0) options.size = size;
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
            std::vector<CLI::Option*> foreign = {outOpt, extOpt,    explainOpt,
                                                 logOpt, reportOpt, recursiveOpt};
            if (showConfig) foreign.insert(foreign.end(), {colorOpt, sizeOpt, cascadeOpt});
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

std::variant<AuditSettings, std::string> ResolveSettings(const AuditOptions& options) {
    AuditSettings settings;
    if (!options.color || !options.size) {
        const QuorvelSettings read = ReadSettings(options.configPath);
        if (!read.Opened()) {
            return "cannot open the configuration file \"" + options.configPath +
                   "\" (give --config FILE, or both --color and --size)";
        }
        settings.color = read.color;
        settings.size = read.size;
    }
    if (options.color) settings.color = *options.color;
    if (options.size) settings.size = *options.size;
    return settings;
}

std::string ChooseCascadePath(const AuditOptions& options) {
    if (options.cascadePath) return *options.cascadePath;
    std::error_code ec;
    if (fs::exists(kCascadeFileName, ec)) return kCascadeFileName;
    return QUORVEL_SYSTEM_CASCADE;
}

std::string OutputPathFor(const std::string& outDir, const std::string& photo,
                          const std::string& extension) {
    return (fs::path(outDir) / (fs::path(photo).stem().string() + "." + extension)).string();
}

namespace {

// Prints a line and reports whether it reached the stream.
bool PrintLine(std::ostream& out, const JsonObject& object) {
    out << JsonLine(object) << '\n';
    out.flush();
    return static_cast<bool>(out);
}

int ShowConfig(const AuditOptions& options, std::ostream& out, std::ostream& err) {
    const QuorvelSettings settings = ReadSettings(options.configPath);
    if (!settings.Opened()) {
        Message(err, "cannot open the configuration file \"" + options.configPath + "\"");
        return kExitUsage;
    }
    if (settings.parseError > 0) {
        Message(err, "\"" + options.configPath + "\" line " + std::to_string(settings.parseError) +
                         ": not a section or key line (ignored, as the window does)");
    }
    if (!PrintLine(out, SettingsJson(settings.color, settings.size))) {
        Message(err, "cannot write the results to standard output");
        return kExitSomeFailed;
    }
    return kExitAllPassed;
}

// Loads the cascade an audit or a verification needs; false after telling why.
bool LoadCascadeFor(const AuditOptions& options, cv::CascadeClassifier& cascade,
                    std::ostream& err) {
    const std::string cascadePath = ChooseCascadePath(options);
    if (std::string problem = LoadFaceCascade(cascadePath, cascade); !problem.empty()) {
        Message(err, "cannot load the face cascade \"" + cascadePath + "\": " + problem);
        return false;
    }
    return true;
}

int Verify(const AuditOptions& options, std::ostream& out, std::ostream& err) {
    const auto resolved = ResolveSettings(options);
    if (const std::string* problem = std::get_if<std::string>(&resolved)) {
        Message(err, *problem);
        return kExitUsage;
    }
    const AuditSettings settings = std::get<AuditSettings>(resolved);
    cv::CascadeClassifier cascade;
    if (!LoadCascadeFor(options, cascade, err)) return kExitUsage;

    bool allGenuine = true;
    bool printed = true;
    for (const std::string& file : options.files) {
        std::optional<std::string> error;
        std::error_code ec;
        GenuineCheck check;
        if (!fs::exists(file, ec)) {
            error = "no such file";
        } else if (!fs::is_regular_file(file, ec)) {
            error = "not a regular file";
        } else {
            check = CheckGenuinePhotoFile(file, cascade, {settings.color, settings.size});
        }
        if (error) check.problems.push_back(*error);
        allGenuine = allGenuine && check.genuine;
        printed =
            PrintLine(out, GenuineJson(file, check.marker, check.genuine, check.problems, error)) &&
            printed;
    }
    if (!printed) Message(err, "cannot write the results to standard output");
    return allGenuine && printed ? kExitAllPassed : kExitSomeFailed;
}

// The card of one audited photo for the HTML report.
HtmlPhotoEntry ReportEntry(const PhotoReport& report, const AuditTrace& trace,
                           const cv::Mat& processed) {
    HtmlPhotoEntry entry;
    entry.file = report.file;
    entry.state = report.result.state;
    entry.face = report.result.face;
    entry.error = report.error;
    entry.processed = processed;
    if (trace.cropAttempted && trace.crop.headTopFound) entry.headTopRow = trace.crop.headTopRow;
    if (trace.cropAttempted && trace.crop.accepted) {
        const int width = trace.crop.right - trace.crop.left;
        entry.cropFrame = cv::Rect(trace.crop.left, trace.crop.top, width,
                                   processed.empty() || processed.cols == 0
                                       ? width
                                       : width * processed.rows / processed.cols);
    }
    entry.values = FlatValues(TraceJson(trace, report.result));
    if (trace.photoSize.area() > 0) entry.photo = DecodePhoto(report.file);
    return entry;
}

// Saves the processed photo of a passed audit under --out. Returns the path
// written, or sets `error`.
std::optional<std::string> SaveIntoOutDir(const AuditOptions& options, const std::string& photo,
                                          const cv::Mat& processed,
                                          std::set<std::string>& writtenThisRun,
                                          std::string& error) {
    const std::string target = OutputPathFor(*options.outDir, photo, options.extension);

    // Two photos with the same stem would otherwise leave only the last one.
    if (writtenThisRun.count(target) > 0) {
        error = "\"" + target + "\" was already written for an earlier photo of this run";
        return std::nullopt;
    }
    std::error_code ec;
    if (fs::equivalent(target, photo, ec)) {
        error = "\"" + target + "\" is the photo itself; it is not replaced";
        return std::nullopt;
    }
    if (!fs::is_directory(*options.outDir, ec)) {
        fs::create_directories(*options.outDir, ec);
        if (ec) {
            error = "cannot create the folder \"" + *options.outDir + "\": " + ec.message();
            return std::nullopt;
        }
    }
    const SaveResult saved = SaveProcessedPhoto(processed, target);
    if (!saved.ok) {
        error = saved.error;
        return std::nullopt;
    }
    writtenThisRun.insert(target);
    return target;
}

int AuditPhotos(const AuditOptions& options, std::ostream& out, std::ostream& err, bool progress) {
    const auto resolved = ResolveSettings(options);
    if (const std::string* problem = std::get_if<std::string>(&resolved)) {
        Message(err, *problem);
        return kExitUsage;
    }
    const AuditSettings settings = std::get<AuditSettings>(resolved);

    cv::CascadeClassifier cascade;
    if (!LoadCascadeFor(options, cascade, err)) return kExitUsage;

    std::vector<std::string> listProblems;
    const std::vector<std::string> files =
        ExpandPhotoArguments(options.files, options.recursive, listProblems);
    for (const std::string& problem : listProblems) Message(err, problem);
    std::optional<HtmlReport> html;
    if (options.reportPath) html.emplace();

    if (options.log && g_log.Open() == nullptr) {
        Message(err, "cannot open Test.log in the working directory; verdicts are not logged");
    }

    std::set<std::string> writtenThisRun;
    std::size_t passed = 0;
    bool allOk = listProblems.empty();
    bool printed = true;
    const std::size_t total = files.size();
    for (std::size_t index = 0; index < total; ++index) {
        const std::string& file = files[index];
        const std::wstring pathName = FromUtf8(file);

        PhotoReport report;
        report.file = file;
        AuditTrace trace;
        if (options.explain) report.trace = &trace;
        const bool traced = options.explain || html.has_value();

        // A photo of its own, so that an empty matrix means this photo made none.
        cv::Mat processed;
        try {
            report.result =
                AuditPhotoFile(cascade, pathName, settings, processed, traced ? &trace : nullptr);
        } catch (const std::exception& e) {
            // Not a verdict: the audit itself broke. The run goes on.
            report.result = AuditResult{};
            report.error = std::string("the audit failed: ") + e.what();
            processed = cv::Mat();
        }

        bool ok = report.result.state == AUDIT_PASSED && !report.error;
        if (ok) {
            report.processedSize = processed.size();
            if (options.outDir) {
                std::string error;
                report.savedPath = SaveIntoOutDir(options, file, processed, writtenThisRun, error);
                if (!report.savedPath) {
                    report.error = error;
                    ok = false;
                }
            }
        }
        if (report.error) Message(err, file + ": " + *report.error);
        if (options.log) LogVerdict(g_log, FileNameOf(pathName), report.result.state);

        printed = PrintLine(out, PhotoJson(report)) && printed;
        if (html) html->Add(ReportEntry(report, trace, processed));
        if (report.result.state == AUDIT_PASSED) ++passed;
        allOk = allOk && ok;

        if (progress) {
            err << "[" << (index + 1) << "/" << total << "] " << file << ": "
                << AuditStateName(report.result.state);
            if (report.savedPath) err << " -> " << *report.savedPath;
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
