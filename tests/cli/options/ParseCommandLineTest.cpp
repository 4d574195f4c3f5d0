// quorvel-audit's command line read by its library: what each option sets,
// the usage errors, --help, --version and the manual page, all made from the
// one option table.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/options/CommandOptions.h"
#include "cli/options/HelpText.h"
#include "cli/options/OptionTable.h"

using namespace quorvel;
using namespace quorvel::cli;

namespace {

struct Parsed {
    ParsedCommand command;
    std::string out;
    std::string err;
};

Parsed Parse(const std::vector<std::string>& args) {
    std::vector<const char*> argv = {"quorvel-audit"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out;
    std::ostringstream err;
    ParsedCommand command = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    return {std::move(command), out.str(), err.str()};
}

}  // namespace

TEST(Options, EveryOptionReachesWhatTheCommandRunsWith) {
    const std::vector<std::string> every = {
        "--config",  "my.ini", "--color",      "2",        "--size", "2",
        "--cascade", "c.xml",  "--files-from", "-",        "-0",     "--recursive",
        "--shard",   "1/3",    "--jobs",       "4",        "--out",  "o",
        "--ext",     "png",    "--explain",    "--report", "r.html", "--resume",
        "R",         "--log",  "--progress",   "a.jpg",    "b.jpg"};
    const Parsed audit = Parse(every);
    ASSERT_TRUE(audit.command.options) << audit.err;
    const AuditOptions& o = *audit.command.options;
    EXPECT_EQ(o.mode, CommandMode::Audit);
    EXPECT_EQ(o.configPath, "my.ini");
    EXPECT_EQ(o.color, BackgroundColor::Blue);
    EXPECT_EQ(o.size, SizeMode::Mode2);
    EXPECT_EQ(o.cascadePath, "c.xml");
    EXPECT_EQ(o.filesFrom, "-");
    EXPECT_EQ(o.separator, ListSeparator::Nul);
    EXPECT_TRUE(o.recursive);
    ASSERT_TRUE(o.shard);
    EXPECT_EQ(o.shard->index, 1u);
    EXPECT_EQ(o.shard->count, 3u);
    EXPECT_EQ(o.jobs, 4);
    EXPECT_EQ(o.outDir, "o");
    EXPECT_EQ(o.extension, "png");
    EXPECT_TRUE(o.explain && o.log && o.progress);
    EXPECT_EQ(o.reportPath, "r.html");
    EXPECT_EQ(o.resumePath, "R");
    EXPECT_EQ(o.files, (std::vector<std::filesystem::path>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(o.commandLine.size(), every.size() + 1) << "the program and every argument";

    // Nothing given: the defaults, the file's settings read.
    const Parsed plain = Parse({"a.jpg"});
    ASSERT_TRUE(plain.command.options);
    EXPECT_EQ(plain.command.options->configPath, kDefaultConfigPath);
    EXPECT_FALSE(plain.command.options->color || plain.command.options->size);
    EXPECT_EQ(plain.command.options->extension, "jpg");
    EXPECT_EQ(plain.command.options->separator, ListSeparator::Newline);

    struct Mode {
        std::vector<std::string> args;
        CommandMode mode;
    };
    for (const Mode& m : std::vector<Mode>{
             {{"--verify", "--explain", "--color", "1", "x.jpg"}, CommandMode::Verify},
             {{"--config", "c.ini", "--show-config"}, CommandMode::ShowConfig}}) {
        const Parsed parsed = Parse(m.args);
        ASSERT_TRUE(parsed.command.options) << parsed.err;
        EXPECT_EQ(parsed.command.options->mode, m.mode);
    }
}

TEST(Options, UsageErrorsExitWithTwoAndNameWhatIsWrong) {
    struct Case {
        const char* description;
        std::vector<std::string> args;
        const char* stderrMentions;
    };
    const std::vector<Case> cases = {
        {"no photos", {"--color", "3", "--size", "1"}, "no photos"},
        {"--verify without files", {"--verify"}, "--verify"},
        {"unknown --ext", {"--ext", "gif", "a.jpg"}, "--ext: gif not in {jpg,png}"},
        {"non-numeric --size", {"--size", "big", "a.jpg"}, "--size"},
        {"unknown option", {"--colour", "3", "a.jpg"}, "--colour"},
        {"audit option with --verify", {"--verify", "--out", "x", "a.jpg"}, "--out"},
        {"--report with --verify", {"--verify", "--report", "r.html", "a.jpg"}, "--report"},
        {"--resume with --verify", {"--verify", "--resume", "r.jsonl", "a.jpg"}, "--resume"},
        {"settings with --show-config", {"--show-config", "--color", "3"}, "--color"},
        {"--show-config with --verify",
         {"--show-config", "--verify"},
         "--show-config cannot be used with --verify"},
        {"--show-config with files", {"--show-config", "a.jpg"}, "takes no files"},
        {"--report without a name", {"--report", "", "a.jpg"}, "--report"},
        {"no jobs", {"--jobs", "0", "a.jpg"}, "--jobs needs a number from 1 to 256"},
        {"jobs that are no number", {"--jobs", "x", "a.jpg"}, "--jobs"},
        {"colour outside 0 to 3",
         {"--color", "5", "a.jpg"},
         "--color: Value 5 not in range 0 to 3"},
        {"size outside 1 and 2", {"--size", "3", "a.jpg"}, "--size"},
        {"shard index not below the count", {"--shard", "2/2", "a.jpg"}, "--shard"},
        {"shard that is not K/N", {"--shard", "1", "a.jpg"}, "--shard"},
        {"-0 without a list", {"-0", "a.jpg"}, "-0 needs --files-from"},
        {"value missing", {"a.jpg", "--color"}, "--color"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const Parsed parsed = Parse(c.args);
        EXPECT_FALSE(parsed.command.options);
        EXPECT_EQ(parsed.command.exitStatus, kExitUsage);
        EXPECT_EQ(parsed.out, "");
        EXPECT_EQ(parsed.err.rfind("quorvel-audit: ", 0), 0u) << parsed.err;
        EXPECT_NE(parsed.err.find(c.stderrMentions), std::string::npos) << parsed.err;
        EXPECT_NE(parsed.err.find("Run quorvel-audit --help for the options."), std::string::npos);
    }
}

TEST(Options, VersionAndHelpAnswerAndRunNothing) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"}, {"--color", "3", "--version", "a.jpg"}}) {
        const Parsed parsed = Parse(args);
        EXPECT_FALSE(parsed.command.options);
        EXPECT_EQ(parsed.command.exitStatus, kExitAllPassed);
        EXPECT_EQ(parsed.out, std::string("quorvel-audit ") + QUORVEL_VERSION + "\n");
        EXPECT_EQ(parsed.err, "");
    }
    for (const char* flag : {"--help", "-h"}) {
        const Parsed parsed = Parse({"--color", "3", flag, "a.jpg"});
        EXPECT_FALSE(parsed.command.options);
        EXPECT_EQ(parsed.command.exitStatus, kExitAllPassed);
        EXPECT_EQ(parsed.out, HelpText());
    }
}

TEST(Options, HelpHasOneUsageBlockAndFitsEightyColumns) {
    std::istringstream lines(HelpText());
    std::size_t usages = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
        if (line.rfind("Usage:", 0) == 0) ++usages;
    }
    EXPECT_EQ(usages, 1u);
    for (const char* status : {"\n 0 ", "\n 1 ", "\n 2 ", "\n 3 ", "\n 130 "}) {
        EXPECT_NE(HelpText().find(status), std::string::npos) << "exit status" << status;
    }
}

// --help and the manual page list every option the parser reads, with its
// value and the first line of what it does.
TEST(Options, HelpAndManualPageListEveryOption) {
    const std::string help = HelpText();
    const std::string page = ManualPage("9.9", "May 2031");
    auto roff = [](std::string text) {
        for (std::size_t at = text.find('-'); at != std::string::npos;
             at = text.find('-', at + 2)) {
            text.insert(at, "\\");
        }
        return text;
    };
    for (const DeclaredOption& declared : OptionTable()) {
        const std::string name(declared.name());
        SCOPED_TRACE(name);
        const std::string firstLine = declared.help.substr(0, declared.help.find('\n'));
        std::string head = name;
        if (declared.TakesValue()) head += " " + declared.ValueName();
        EXPECT_NE(help.find(head + " "), std::string::npos);
        EXPECT_NE(help.find(firstLine + "\n"), std::string::npos);
        EXPECT_NE(page.find("\\fB" + roff(name) + "\\fR"), std::string::npos);
        EXPECT_NE(page.find(roff(firstLine) + "\n"), std::string::npos);
    }
    EXPECT_EQ(page.rfind(".TH QUORVEL\\-AUDIT 1 \"May 2031\" \"quorvel\\-audit 9.9\"", 0), 0u);
    for (const ExitStatusSpec& exit : ExitStatusTable()) {
        EXPECT_NE(page.find(".TP\n" + std::to_string(exit.status) + "\n"), std::string::npos);
    }
}
