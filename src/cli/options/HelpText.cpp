#include "cli/options/HelpText.h"

#include <array>

#include "cli/options/OptionTable.h"
#include "cli/output/Messages.h"

namespace quorvel::cli {

namespace {

// Texts of --help around the options.
constexpr std::string_view kDescription =
    "Audit identity photos as the Quorvel window does and print one JSON line per\n"
    "photo on standard output.";
constexpr std::string_view kInterruptNote =
    "Ctrl+C (or SIGTERM) finishes the photos in hand, writes the results and the\n"
    "report so far and prints the command that goes on; a second one ends at once.";
constexpr std::string_view kExitOrder = "When several apply, 2 comes before 3, and 3 before 1.";

// The groups in the order they are listed; the program's own options come
// last, without a heading.
struct GroupHeading {
    OptionGroup group;
    std::string_view heading;
};
constexpr std::array<GroupHeading, 4> kGroups = {{
    {OptionGroup::Settings, "Settings"},
    {OptionGroup::Photos, "Photos"},
    {OptionGroup::Output, "Output"},
    {OptionGroup::Program, ""},
}};

// Where an option's text starts, and where its further lines start.
constexpr std::size_t kHelpColumn = 26;
constexpr std::size_t kMoreLinesColumn = 28;

// "  -h, --help", "      --config FILE", "  -0".
std::string OptionHead(const DeclaredOption& declared) {
    std::string head = "  ";
    head += declared.shortName.empty() ? "    " : std::string(declared.shortName);
    if (!declared.shortName.empty() && !declared.longName.empty()) head += ", ";
    head += declared.longName;
    if (declared.TakesValue()) head += " " + declared.ValueName();
    return head;
}

std::string HelpLines(const DeclaredOption& declared) {
    std::string head = OptionHead(declared);
    head.resize(std::max(kHelpColumn, head.size() + 2), ' ');
    std::string lines = head;
    for (const char c : declared.help) {
        lines += c;
        if (c == '\n') lines += std::string(kMoreLinesColumn, ' ');
    }
    return lines + "\n";
}

// Text for roff: backslashes and hyphens escaped, no line taken for a request.
std::string Roff(std::string_view text) {
    std::string escaped;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) escaped += "\\&";
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '-') {
            escaped += "\\-";
        } else {
            escaped += c;
        }
        lineStart = c == '\n';
    }
    return escaped;
}

std::string RoffOption(const DeclaredOption& declared) {
    std::string names;
    for (const std::string_view name : {declared.shortName, declared.longName}) {
        if (name.empty()) continue;
        names += (names.empty() ? "" : ", ") + ("\\fB" + Roff(name) + "\\fR");
    }
    if (declared.TakesValue()) names += " " + Roff(declared.ValueName());
    return ".TP\n" + names + "\n" + Roff(declared.help) + "\n";
}

}  // namespace

std::string HelpText() {
    std::string text;
    bool first = true;
    for (const std::string_view form : UsageForms()) {
        text += (first ? "Usage: " : "  or:  ") + std::string(kProgramName) + " " +
                std::string(form) + "\n";
        first = false;
    }
    text += std::string(kDescription) + "\n";
    for (const GroupHeading& group : kGroups) {
        text += "\n";
        if (!group.heading.empty()) text += std::string(group.heading) + ":\n";
        for (const DeclaredOption& declared : OptionTable()) {
            if (declared.group == group.group) text += HelpLines(declared);
        }
    }
    text += "\n" + std::string(kInterruptNote) + "\n\nExit status:\n";
    for (const ExitStatusSpec& exit : ExitStatusTable()) {
        std::string status = " " + std::to_string(exit.status);
        status.resize(std::max<std::size_t>(6, status.size() + 2), ' ');
        text += status + std::string(exit.meaning) + "\n";
    }
    return text + std::string(kExitOrder) + "\n";
}

std::string ManualPage(std::string_view version, std::string_view date) {
    const std::string program = Roff(kProgramName);
    std::string page = ".TH QUORVEL\\-AUDIT 1 \"" + Roff(date) + "\" \"" + program + " " +
                       Roff(version) + "\" \"User Commands\"\n";
    page += ".SH NAME\n" + program + " \\- " + Roff(kSummary) + "\n.SH SYNOPSIS\n";
    bool first = true;
    for (const std::string_view form : UsageForms()) {
        page += std::string(first ? "" : ".br\n") + ".B " + program + "\n" + Roff(form) + "\n";
        first = false;
    }
    page += ".SH DESCRIPTION\n" + Roff(kDescription) + "\n.PP\n" + Roff(kInterruptNote) + "\n";
    page += ".SH OPTIONS\n";
    for (const GroupHeading& group : kGroups) {
        if (!group.heading.empty()) page += ".SS \"" + std::string(group.heading) + "\"\n";
        for (const DeclaredOption& declared : OptionTable()) {
            if (declared.group == group.group) page += RoffOption(declared);
        }
    }
    page += ".SH \"EXIT STATUS\"\n";
    for (const ExitStatusSpec& exit : ExitStatusTable()) {
        page += ".TP\n" + std::to_string(exit.status) + "\n" + Roff(exit.meaning) + "\n";
    }
    return page + ".PP\n" + Roff(kExitOrder) + "\n";
}

}  // namespace quorvel::cli
