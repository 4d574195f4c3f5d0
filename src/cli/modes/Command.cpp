#include "cli/modes/Command.h"

#include <ostream>

#include "cli/modes/Modes.h"
#include "cli/output/Messages.h"
#include "core/config/ConfigPlaces.h"

namespace quorvel::cli {

std::string StartupMessage(const Error& problem) {
    if (problem.kind == ErrorKind::CascadeUnusable) return problem.message;
    return problem.message + " (give --config FILE, or both --color and --size)";
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

std::optional<Session> OpenSession(const AuditOptions& options, std::ostream& err) {
    Result<Session> opened = Session::Open(SessionOptionsFor(options));
    if (!opened) {
        PrintMessage(err, StartupMessage(opened.error()));
        return std::nullopt;
    }
    return std::move(opened).value();
}

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
    PrintMessage(err,
                 "no " + options.configPath.string() + "; reading " + whose + choice.path.string());
    options.configPath = choice.path;
    return options;
}

int RunCommand(const AuditOptions& given, const CommandStreams& streams) {
    // A merge reads its settings from the results' lines.
    if (given.mode == CommandMode::Merge) return MergeResults(given, streams);
    const AuditOptions options = WithSettingsFallback(given, streams.err);
    switch (options.mode) {
        case CommandMode::ShowConfig:
            return ShowConfig(options, streams.out, streams.err);
        case CommandMode::Verify:
            return Verify(options, streams.out, streams.err, streams.stop, streams.libraryMessages);
        case CommandMode::Merge:
        case CommandMode::Audit:
            break;
    }
    return AuditPhotos(options, streams);
}

}  // namespace quorvel::cli
