#include "cli/options/OptionTable.h"

#include <array>

namespace quorvel::cli {

namespace {

using Kind = OptionKind;
using Group = OptionGroup;

using Store = void (*)(AuditOptions&, const OptionValue&);

constexpr unsigned kAuditOrVerify = kInAudit | kInVerify;
constexpr unsigned kAuditOrMerge = kInAudit | kInMerge;

// The table as it is filled, group by group.
class Table {
public:
    // One entry; "--name" is a long name, "-n" a short one. The reference
    // holds until the next entry is added.
    DeclaredOption& add(std::string_view name, std::string_view valueName, Kind kind, Group group,
                        unsigned modes, std::string help, Store store) {
        DeclaredOption declared;
        (name.starts_with("--") ? declared.longName : declared.shortName) = name;
        declared.valueName = valueName;
        declared.kind = kind;
        declared.group = group;
        declared.modes = modes;
        declared.help = std::move(help);
        declared.store = store;
        return m_declared.emplace_back(std::move(declared));
    }

    std::vector<DeclaredOption> specs() && { return std::move(m_declared); }

private:
    std::vector<DeclaredOption> m_declared;
};

void AddSettings(Table& table) {
    table.add(
        "--config", "FILE", Kind::Text, Group::Settings, kInEveryMode,
        "settings file (default ./cfg.ini, else the per-user\nand then the installed cfg.ini)",
        [](AuditOptions& o, const OptionValue& v) { o.configPath = v.text; });
    DeclaredOption& color = table.add("--color", "N", Kind::Number, Group::Settings, kAuditOrVerify,
                                      "background colour: 0 white, 1 red, 2 blue, 3 any",
                                      [](AuditOptions& o, const OptionValue& v) {
                                          o.color = static_cast<BackgroundColor>(v.number);
                                      });
    color.min = kColorValues.least;
    color.max = kColorValues.most;
    DeclaredOption& size = table.add(
        "--size", "N", Kind::Number, Group::Settings, kAuditOrVerify,
        "size mode: " + ListValues(kSizeValues),
        [](AuditOptions& o, const OptionValue& v) { o.size = static_cast<SizeMode>(v.number); });
    size.min = kSizeValues.least;
    size.max = kSizeValues.most;
    table.add("--cascade", "FILE", Kind::Text, Group::Settings, kAuditOrVerify, "face cascade file",
              [](AuditOptions& o, const OptionValue& v) { o.cascadePath = v.text; });
    table.add("--show-config", "", Kind::Flag, Group::Settings, kInShowConfig,
              "print the settings of the settings file and exit",
              [](AuditOptions& o, const OptionValue&) { o.mode = CommandMode::ShowConfig; });
}

void AddPhotos(Table& table) {
    table.add("--files-from", "LIST", Kind::Text, Group::Photos, kInAudit,
              "also audit the photos listed in LIST, one a line\n(- reads standard input)",
              [](AuditOptions& o, const OptionValue& v) { o.filesFrom = v.text; });
    table.add("-0", "", Kind::Flag, Group::Photos, kInAudit,
              "the names in LIST are separated by NUL bytes",
              [](AuditOptions& o, const OptionValue&) { o.separator = ListSeparator::Nul; });
    table.add("--recursive", "", Kind::Flag, Group::Photos, kInAudit,
              "audit the photos in the sub-folders of a FOLDER too",
              [](AuditOptions& o, const OptionValue&) { o.recursive = true; });
    table.add("--shard", "K/N", Kind::Text, Group::Photos, kInAudit,
              "audit only part K of N (0 <= K < N) of the photos",
              [](AuditOptions& o, const OptionValue& v) { o.shardText = v.text; });
    table.add("--jobs", "N", Kind::Number, Group::Photos, kInAudit,
              "audit N photos at a time (1 to " + std::to_string(kMaxJobs) + ")",
              [](AuditOptions& o, const OptionValue& v) { o.jobs = v.number; });
    table.add("--from-results", "PAT", Kind::Text, Group::Photos, kInMerge,
              "audit nothing: merge the results files that match\n"
              "PAT ('part-*.jsonl') into the lines of one run, in\n"
              "list order; --report makes their report",
              [](AuditOptions& o, const OptionValue& v) {
                  if (o.mode == CommandMode::Audit) o.mode = CommandMode::Merge;
                  o.fromResults = v.text;
              });
}

void AddOutput(Table& table) {
    table.add("--out", "DIR", Kind::Text, Group::Output, kInAudit,
              "save each passed photo into DIR",
              [](AuditOptions& o, const OptionValue& v) { o.outDir = v.text; });
    table
        .add("--ext", "", Kind::Text, Group::Output, kInAudit,
             "format of the saved photos (default " + AuditOptions().extension + ")",
             [](AuditOptions& o, const OptionValue& v) { o.extension = v.text; })
        .choices = {"jpg", "png"};
    // --explain lists every check of a verification too.
    table.add("--explain", "", Kind::Flag, Group::Output, kAuditOrVerify,
              "add the measured values to each line",
              [](AuditOptions& o, const OptionValue&) { o.explain = true; });
    table.add("--report", "FILE", Kind::Text, Group::Output, kAuditOrMerge,
              "also write an HTML report (FILE, then FILE-2 ...)",
              [](AuditOptions& o, const OptionValue& v) { o.reportPath = v.text; });
    table.add(
        "--resume", "FILE", Kind::Text, Group::Output, kInAudit,
        "skip the photos that have a line in the results FILE\nand append the new lines to it",
        [](AuditOptions& o, const OptionValue& v) { o.resumePath = v.text; });
    table.add("--log", "", Kind::Flag, Group::Output, kInAudit,
              "append the verdicts to Test.log as the window does",
              [](AuditOptions& o, const OptionValue&) { o.log = true; });
    table.add("--exit-zero", "", Kind::Flag, Group::Output, kAuditOrMerge,
              "exit 0 when photos were rejected (for job runners):\n"
              "only 2, 3, 1 for a failed write, and 130 remain",
              [](AuditOptions& o, const OptionValue&) { o.exitZero = true; });
    table.add("--progress", "", Kind::Flag, Group::Output, kInAudit,
              "show progress on standard error even when it is not\na terminal",
              [](AuditOptions& o, const OptionValue&) { o.progress = true; });
    // With --show-config given too, that mode stays and refuses this option.
    table.add("--verify", "", Kind::Flag, Group::Output, kInVerify,
              "tell for each FILE whether it is a photo saved by a\npassed audit",
              [](AuditOptions& o, const OptionValue&) {
                  if (o.mode == CommandMode::Audit) o.mode = CommandMode::Verify;
              });
}

std::vector<DeclaredOption> MakeTable() {
    Table table;
    AddSettings(table);
    AddPhotos(table);
    AddOutput(table);
    table
        .add("--help", "", Kind::Help, Group::Program, kInEveryMode, "print this help and exit",
             nullptr)
        .shortName = "-h";
    table.add("--version", "", Kind::Version, Group::Program, kInEveryMode,
              "print the program's name and version and exit", nullptr);
    return std::move(table).specs();
}

constexpr std::array<std::string_view, 5> kUsageForms = {
    "[OPTION]... PHOTO|FOLDER...",
    "[OPTION]... --files-from LIST [-0]",
    "[OPTION]... --from-results PAT [--report FILE]",
    "[OPTION]... --verify FILE...",
    "[--config FILE] --show-config",
};

constexpr std::array<ExitStatusSpec, 5> kExitStatuses = {{
    {kExitAllPassed, "all passed (with --verify: all genuine)"},
    {kExitSomeFailed, "some photos were rejected (not with --exit-zero), or a write failed"},
    {kExitUsage, "usage error, or the run was refused before its first audit"},
    {kExitUnreadable, "some inputs could not be read (missing, unreadable, a folder)"},
    {kExitInterrupted, "interrupted"},
}};

}  // namespace

unsigned ModeBit(CommandMode mode) {
    switch (mode) {
        case CommandMode::Audit:
            return kInAudit;
        case CommandMode::Verify:
            return kInVerify;
        case CommandMode::ShowConfig:
            return kInShowConfig;
        case CommandMode::Merge:
            return kInMerge;
    }
    return 0;
}

std::string DeclaredOption::ValueName() const {
    if (!valueName.empty() || choices.empty()) return std::string(valueName);
    std::string joined;
    for (const std::string_view choice : choices) {
        joined += (joined.empty() ? "" : "|") + std::string(choice);
    }
    return joined;
}

std::span<const DeclaredOption> OptionTable() {
    static const std::vector<DeclaredOption> table = MakeTable();
    return table;
}

std::span<const std::string_view> UsageForms() { return kUsageForms; }

std::span<const ExitStatusSpec> ExitStatusTable() { return kExitStatuses; }

}  // namespace quorvel::cli
