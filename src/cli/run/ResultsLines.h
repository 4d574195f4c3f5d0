#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/Result.h"
#include "core/config/Settings.h"
#include "json/Json.h"

namespace quorvel::cli {

// The bounds of a results file: its length, and the length of one line.
inline constexpr std::uintmax_t kMaxResultsBytes = std::uintmax_t{1} << 30;
inline constexpr std::size_t kMaxResultsLineBytes = std::size_t{1} << 20;

// Reading results files of this command, for --resume and --from-results.

// What the results are read for, as a refusal's advice says.
enum class ResultsUse { Resume, Merge };

// Up to `size` bytes of the file at `offset`.
using ReadResults = std::function<Result<std::string>(std::uint64_t offset, std::size_t size)>;

// One complete line of ours, parsed, with where it starts.
struct ResultsLine {
    JsonObject json;
    std::string text;  // its bytes, without the line end
    std::uint64_t offset = 0;
    std::size_t number = 1;  // counted from 1
};

// The last bytes of a file when they end without a line end.
struct UnfinishedLine {
    std::string bytes;
    std::uint64_t offset = 0;
    std::size_t number = 1;
};

// Reads the file's `length` bytes in pieces and hands over each complete
// line, checked to be ours (see OurResultsLine; audited with `settings`
// where given). A line that is not is refused, naming the file and the
// line. Returns the last line when it has no line end.
Result<UnfinishedLine> ReadResultsLines(const std::filesystem::path& path, std::uintmax_t length,
                                        const ReadResults& read, const Settings* settings,
                                        const std::function<void(ResultsLine)>& take,
                                        ResultsUse use = ResultsUse::Resume);

// A line of ours: a JSON object with "file" (a string) and "state" (0 to
// 6); with `settings`, refused (Refused) when it records others.
Result<JsonObject> OurResultsLine(std::string_view text, const Settings* settings);

// Whether the bytes are the start of a line of ours (a run killed while it
// wrote the line).
bool StartsOurLine(std::string_view bytes);

// The refusal of a file that is not results of this command.
Error NotOurResults(const std::filesystem::path& path, std::size_t line, const std::string& why,
                    ResultsUse use = ResultsUse::Resume);

// The refusal of a line OurResultsLine did not take: not ours, or audited
// with other settings.
Error RefusedLine(const std::filesystem::path& path, std::size_t line, const Error& why,
                  ResultsUse use = ResultsUse::Resume);

// The line of the results at `offset`, without its line end.
Result<std::string> ResultsLineAt(const ReadResults& read, std::uint64_t offset);

}  // namespace quorvel::cli
