#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/options/CommandOptions.h"
#include "cli/options/HelpText.h"
#include "cli/options/OptionTable.h"
#include "cli/output/Messages.h"

namespace quorvel::cli {

namespace {

ParsedCommand UsageError(std::ostream& err, const std::string& text) {
    PrintMessage(err, text);
    err << "Run " << kProgramName << " --help for the options.\n";
    return {std::nullopt, kExitUsage};
}

// The names as CLI11 takes them: "-h,--help".
std::string CliNames(const DeclaredOption& declared) {
    if (declared.shortName.empty()) return std::string(declared.longName);
    if (declared.longName.empty()) return std::string(declared.shortName);
    return std::string(declared.shortName) + "," + std::string(declared.longName);
}

// Tells CLI11 of one option; the value read goes into `value`. The checks
// of a value are CLI11's, so that their messages read as CLI11 words them.
CLI::Option* Bind(CLI::App& app, const DeclaredOption& declared, OptionValue& value) {
    const std::string names = CliNames(declared);
    switch (declared.kind) {
        case OptionKind::Flag:
            return app.add_flag(names);
        case OptionKind::Text: {
            CLI::Option* option =
                app.add_option(names, value.text)->type_name(declared.ValueName());
            if (!declared.choices.empty()) {
                const std::vector<std::string> allowed(declared.choices.begin(),
                                                       declared.choices.end());
                option->check(CLI::IsMember(allowed).description(""));
            }
            return option;
        }
        case OptionKind::Number: {
            CLI::Option* option =
                app.add_option(names, value.number)->type_name(declared.ValueName());
            if (declared.min <= declared.max)
                option->check(CLI::Range(declared.min, declared.max).description(""));
            return option;
        }
        case OptionKind::Help:
            return app.set_help_flag(names, std::string(declared.help));
        case OptionKind::Version:
            return app.set_version_flag(names, std::string(kProgramName) + " " + QUORVEL_VERSION,
                                        std::string(declared.help));
    }
    return nullptr;
}

}  // namespace

ParsedCommand ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                               std::ostream& err) {
    CLI::App app(std::string(kSummary), kProgramName);
    const std::span<const DeclaredOption> table = OptionTable();
    std::vector<OptionValue> values(table.size());
    std::vector<CLI::Option*> bound;
    for (std::size_t i = 0; i < table.size(); ++i) bound.push_back(Bind(app, table[i], values[i]));
    std::vector<std::string> files;
    app.add_option("PHOTO", files)->type_name(std::string(kOperandName));

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << HelpText();
        return {std::nullopt, kExitAllPassed};
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return {std::nullopt, kExitAllPassed};
    } catch (const CLI::ParseError& e) {
        return UsageError(err, e.what());
    }

    // Only the options given replace the defaults.
    AuditOptions options;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].store == nullptr || bound[i]->count() == 0) continue;
        options.given.emplace_back(table[i].name());
        table[i].store(options, values[i]);
    }
    options.files.assign(files.begin(), files.end());
    options.commandLine.assign(argv, argv + argc);

    Result<AuditOptions> valid = ValidateOptions(std::move(options));
    if (!valid) return UsageError(err, valid.error().message);
    return {std::move(valid).value(), kExitAllPassed};
}

}  // namespace quorvel::cli
