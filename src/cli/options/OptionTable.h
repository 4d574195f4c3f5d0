#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options/CommandOptions.h"

namespace quorvel::cli {

// Every option of quorvel-audit, declared once: the parser reads the command
// line by this table, and --help and the manual page list it. An option is
// added by one entry here (and the field of AuditOptions it fills).

// Where an option is listed in --help and the manual page.
enum class OptionGroup { Settings, Photos, Output, Program };

// The modes an option means something to; given in another mode it is a
// usage error ("--verify cannot be used with --out").
enum ModeMask : unsigned {
    kInAudit = 1u << 0,
    kInVerify = 1u << 1,
    kInShowConfig = 1u << 2,
    kInMerge = 1u << 3,
    kInEveryMode = kInAudit | kInVerify | kInShowConfig | kInMerge,
};

unsigned ModeBit(CommandMode mode);

// How the command line gives the option.
enum class OptionKind {
    Flag,     // no value
    Text,     // a value kept as written
    Number,   // an integer
    Help,     // prints --help and exits
    Version,  // prints the name and version and exits
};

// A value as the parser read it, before it becomes a typed option.
struct OptionValue {
    std::string text;
    int number = 0;
};

struct DeclaredOption {
    std::string_view shortName;  // "-0", "-h"; empty when there is none
    std::string_view longName;   // "--color"; empty when there is none
    std::string_view valueName;  // "N", "FILE"; empty for a flag and where choices name it
    OptionKind kind = OptionKind::Flag;
    OptionGroup group = OptionGroup::Program;
    unsigned modes = kInEveryMode;
    // What it does, as --help shows it: "\n" breaks its lines.
    std::string help;
    // Checked as the value is read: a Number's range (when min <= max), or
    // the words a Text may be (when not empty).
    int min = 1;
    int max = 0;
    std::vector<std::string_view> choices;
    // Puts the value given into the options; nothing for Help and Version.
    void (*store)(AuditOptions& options, const OptionValue& value) = nullptr;

    // The name messages use and AuditOptions::given holds: the long name,
    // else the short one.
    std::string_view name() const { return longName.empty() ? shortName : longName; }

    // The value as --help names it: valueName, else the choices ("jpg|png").
    std::string ValueName() const;

    bool TakesValue() const { return kind == OptionKind::Text || kind == OptionKind::Number; }
};

// The options in the order --help lists them.
std::span<const DeclaredOption> OptionTable();

// The operands and forms of the command line, for the usage lines and the
// manual page's synopsis.
inline constexpr std::string_view kOperandName = "FILE";
std::span<const std::string_view> UsageForms();

// An exit status and what it means, in --help's order.
struct ExitStatusSpec {
    int status;
    std::string_view meaning;
};
std::span<const ExitStatusSpec> ExitStatusTable();

}  // namespace quorvel::cli
