#include "cli/run/ResultsLines.h"

#include <algorithm>

#include "core/common/ErrorText.h"
#include "json/ResultsJson.h"

namespace quorvel::cli {

namespace {

constexpr std::string_view kLineStart = "{\"file\":";  // how every line of ours begins

}  // namespace

Error RefusedLine(const std::filesystem::path& path, std::size_t line, const Error& why,
                  ResultsUse use) {
    if (why.kind == ErrorKind::Refused) {
        return Fail(ErrorKind::Refused,
                    "the results " + Quoted(path) + " line " + std::to_string(line) + " " +
                        why.message +
                        "; resume with the same settings, or give a new file name to --resume",
                    0, path);
    }
    return NotOurResults(path, line, why.message, use);
}

Error NotOurResults(const std::filesystem::path& path, std::size_t line, const std::string& why,
                    ResultsUse use) {
    return Fail(ErrorKind::BadContent,
                "the results " + Quoted(path) + " are not results of quorvel-audit (line " +
                    std::to_string(line) + " " + why + "); the file is left as it is: " +
                    (use == ResultsUse::Resume ? "give a new file name to --resume"
                                               : "give --from-results only results files"),
                0, path);
}

bool StartsOurLine(std::string_view bytes) {
    return bytes.compare(0, kLineStart.size(), kLineStart) == 0 ||
           kLineStart.compare(0, bytes.size(), bytes) == 0;
}

Result<JsonObject> OurResultsLine(std::string_view text, const Settings* settings) {
    JsonObject line = JsonObject::parse(text, nullptr, false);
    const bool ours = line.is_object() && line.contains("file") && line["file"].is_string() &&
                      line.contains("state") && line["state"].is_number_integer() &&
                      line["state"] >= 0 && line["state"] <= 6;
    if (!ours) return Fail(ErrorKind::BadContent, "is not one of its JSON lines");
    if (const auto given = line.find("settings"); settings != nullptr && given != line.end()) {
        const JsonObject expected = SettingsJson(*settings);
        // The same keys and values, in whatever order.
        const bool same =
            given->is_object() && given->size() == expected.size() &&
            std::all_of(expected.items().begin(), expected.items().end(), [&](const auto& item) {
                return given->contains(item.key()) && (*given)[item.key()] == item.value();
            });
        if (!same) {
            return Fail(ErrorKind::Refused, "was audited with the settings " + given->dump() +
                                                ", this run's are " + expected.dump());
        }
    }
    return line;
}

Result<UnfinishedLine> ReadResultsLines(const std::filesystem::path& path, std::uintmax_t length,
                                        const ReadResults& read, const Settings* settings,
                                        const std::function<void(ResultsLine)>& take,
                                        ResultsUse use) {
    constexpr std::size_t kChunk = 1 << 20;
    UnfinishedLine pending;  // the line being read, its offset and number
    for (std::uint64_t offset = 0; offset < length; offset += kChunk) {
        Result<std::string> chunk = read(offset, kChunk);
        if (!chunk) return chunk.error();
        if (chunk->empty()) break;
        for (std::size_t start = 0; start < chunk->size();) {
            const std::size_t end = chunk->find('\n', start);
            const std::size_t stop = end == std::string::npos ? chunk->size() : end;
            pending.bytes.append(*chunk, start, stop - start);
            if (pending.bytes.size() > kMaxResultsLineBytes) {
                return NotOurResults(
                    path, pending.number,
                    "is longer than " + std::to_string(kMaxResultsLineBytes) + " bytes");
            }
            if (end == std::string::npos) break;
            Result<JsonObject> line = OurResultsLine(pending.bytes, settings);
            if (!line) return RefusedLine(path, pending.number, line.error(), use);
            take({std::move(line).value(), std::move(pending.bytes), pending.offset,
                  pending.number});
            pending.offset = offset + end + 1;
            pending.bytes.clear();
            ++pending.number;
            start = end + 1;
        }
    }
    return pending;
}

Result<std::string> ResultsLineAt(const ReadResults& read, std::uint64_t offset) {
    // Most lines are short: a long one is read again whole.
    Result<std::string> bytes = read(offset, 65536);
    if (bytes && bytes->find('\n') == std::string::npos) {
        bytes = read(offset, kMaxResultsLineBytes + 1);
    }
    if (!bytes) return bytes.error();
    return bytes->substr(0, bytes->find('\n'));
}

}  // namespace quorvel::cli
