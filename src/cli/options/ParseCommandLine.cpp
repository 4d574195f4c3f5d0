#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/options/CommandOptions.h"
#include "cli/options/HelpText.h"
#include "cli/output/Messages.h"

namespace quorvel::cli {

namespace {

const char* const kDescription =
    "Audits identity photos as the Quorvel window does and prints one JSON line per photo.";

ParsedCommand UsageError(std::ostream& err, const std::string& text) {
    PrintMessage(err, text);
    err << "Run " << kProgramName << " --help for the options.\n";
    return {std::nullopt, kExitUsage};
}

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

}  // namespace quorvel::cli
