#include "cli/output/GoOn.h"

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "core/io/FileStatus.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

// Where a standard stream goes, as the go-on command needs to say it.
struct StreamPlace {
    std::optional<fs::path> file;  // a regular file, by its name
    bool null = false;             // /dev/null
    bool terminal = false;
};

StreamPlace PlaceOf(int fd) {
    StreamPlace place;
    place.terminal = ::isatty(fd) == 1;
    if (place.terminal) return place;
    place.file = DescriptorName(fd);
    if (place.file) {
        // Shown from the working folder when it lies below it.
        std::error_code ec;
        const fs::path relative = place.file->lexically_relative(fs::current_path(ec));
        if (!ec && !relative.empty() && *relative.begin() != "..") place.file = relative;
        return place;
    }
    const EntryStatus status = StatusOfDescriptor(fd);
    place.null = status.exists() && status.identity == StatusOf("/dev/null").identity;
    return place;
}

std::string CommandOf(const AuditOptions& options) {
    std::string command;
    for (const std::string& argument : options.commandLine) {
        command += (command.empty() ? "" : " ") + ShellWord(argument);
    }
    return command;
}

// The list read again from the file standard input was, when it was one.
std::string ListInput(const AuditOptions& options) {
    if (!options.filesFrom || *options.filesFrom != "-") return {};
    const StreamPlace in = PlaceOf(STDIN_FILENO);
    if (in.file) return " < " + ShellWord(in.file->string());
    return " (with the same list on standard input)";
}

}  // namespace

std::string ShellWord(const std::string& argument) {
    const bool plain = !argument.empty() && argument.find_first_not_of(
                                                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuv"
                                                "wxyz0123456789-_./=:,+@%") == std::string::npos;
    if (plain) return argument;
    std::string word = "'";
    for (const char c : argument) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

std::string GoOnMessage(const AuditOptions& options, std::size_t done, std::size_t total) {
    const std::string command = CommandOf(options) + ListInput(options);
    const StreamPlace out = PlaceOf(STDOUT_FILENO);
    std::string text =
        "interrupted: " + std::to_string(done) + " of " + std::to_string(total) + " photos audited";
    if (options.resumePath) {
        text += "; to go on, run: " + command;
        if (out.file) return text + " >> " + ShellWord(out.file->string());
        if (out.null) return text + " > /dev/null";
        if (!out.terminal) text += " (with standard output where this run's went)";
        return text;
    }
    if (out.file) {
        const std::string results = ShellWord(out.file->string());
        return text + "; their lines are in " + results +
               ". To go on into that file, run: " + command + " --resume " + results +
               " > /dev/null (--resume appends to it; a > to it would empty it first)";
    }
    if (out.null) {
        return text + "; their lines went to /dev/null. To keep them next time, run: " + command +
               " --resume RESULTS.jsonl > /dev/null";
    }
    return text +
           "; their lines are on standard output. To go on, keep those lines in a file "
           "RESULTS.jsonl and run: " +
           command + " --resume RESULTS.jsonl";
}

}  // namespace quorvel::cli
