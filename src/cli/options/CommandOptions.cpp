#include "cli/options/CommandOptions.h"

#include <algorithm>
#include <charconv>

#include "cli/options/OptionTable.h"

namespace quorvel::cli {

bool AuditOptions::Given(const std::string& name) const {
    return std::find(given.begin(), given.end(), name) != given.end();
}

std::optional<Shard> ParseShard(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    auto number = [](std::string_view digits) -> std::optional<std::size_t> {
        std::size_t value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
            return std::nullopt;
        }
        return value;
    };
    const std::optional<std::size_t> index = number(std::string_view(text).substr(0, slash));
    const std::optional<std::size_t> count = number(std::string_view(text).substr(slash + 1));
    if (!index || !count || *count == 0 || *index >= *count) return std::nullopt;
    return Shard{*index, *count};
}

namespace {

// The option that chose a mode other than the audit, as messages name it.
const char* ModeOption(CommandMode mode) {
    switch (mode) {
        case CommandMode::Verify:
            return "--verify";
        case CommandMode::ShowConfig:
            return "--show-config";
        case CommandMode::Merge:
            return "--from-results";
        case CommandMode::Audit:
            break;
    }
    return "";
}

}  // namespace

Result<AuditOptions> ValidateOptions(AuditOptions options) {
    auto usage = [](const std::string& text) { return Fail(ErrorKind::Usage, text); };
    // Options given in a mode they mean nothing to.
    if (options.mode != CommandMode::Audit) {
        for (const DeclaredOption& declared : OptionTable()) {
            const std::string name(declared.name());
            if ((declared.modes & ModeBit(options.mode)) == 0 && options.Given(name)) {
                return usage(std::string(ModeOption(options.mode)) + " cannot be used with " +
                             name);
            }
        }
    }
    switch (options.mode) {
        case CommandMode::ShowConfig:
            if (!options.files.empty()) return usage("--show-config takes no files");
            break;
        case CommandMode::Verify:
            if (options.files.empty()) return usage("no files given to --verify");
            break;
        case CommandMode::Audit:
            if (options.files.empty() && !options.filesFrom) return usage("no photos given");
            break;
        case CommandMode::Merge:
            if (!options.files.empty()) {
                return usage("--from-results takes no photos (quote a pattern: 'part-*.jsonl')");
            }
            if (options.fromResults->empty()) return usage("--from-results needs a file name");
            break;
    }
    if (options.outDir && options.outDir->empty()) return usage("--out needs a folder name");
    if (options.reportPath && options.reportPath->empty()) {
        return usage("--report needs a file name");
    }
    if (options.filesFrom && options.filesFrom->empty()) {
        return usage("--files-from needs a file name (- for standard input)");
    }
    if (options.Given("-0") && !options.filesFrom) return usage("-0 needs --files-from");
    if (options.resumePath && options.resumePath->empty()) {
        return usage("--resume needs a file name");
    }
    if (options.jobs && (*options.jobs < 1 || *options.jobs > kMaxJobs)) {
        return usage("--jobs needs a number from 1 to " + std::to_string(kMaxJobs));
    }
    if (options.shardText) {
        options.shard = ParseShard(*options.shardText);
        if (!options.shard) return usage("--shard needs K/N with 0 <= K < N, such as 0/4");
    }
    return options;
}

}  // namespace quorvel::cli
