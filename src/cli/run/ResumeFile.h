#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "cli/run/ResultsLines.h"
#include "core/common/Result.h"
#include "core/config/Settings.h"
#include "core/io/ScratchFiles.h"
#include "json/Json.h"

namespace quorvel::cli {

// The JSON lines of earlier runs, for --resume: which photos have a complete
// line already, and the file the new lines are appended to. The file is
// locked (flock) for as long as the object lives.
class ResumeFile {
public:
    // Opens (creating it when missing) a regular file, without blocking, and
    // reads its lines. It must be empty or results of this command: every
    // complete line a JSON object with `file` and "state", audited with
    // `settings` where the line records them; anything else is refused and
    // left untouched. A last line without its line end (a run killed while
    // writing it) is cut off only when it is the start of such a line.
    // Refused too when another run holds the file.
    static Result<ResumeFile> Open(const std::filesystem::path& path, const Settings& settings);

    ResumeFile(ResumeFile&& other) noexcept = default;
    ResumeFile& operator=(ResumeFile&&) = delete;
    ResumeFile(const ResumeFile&) = delete;
    ResumeFile& operator=(const ResumeFile&) = delete;
    ~ResumeFile() = default;

    // True when a complete line without an "error" names this photo, by the
    // exact bytes of its path (`file_bytes` where `file` cannot hold them).
    // A line of an earlier version that shows a name with U+FFFD cannot be
    // matched: its photo is audited again.
    bool Finished(const std::filesystem::path& photo) const;

    // Appends one line (with its line end) and flushes it to the file.
    Result<void> Append(std::string_view line);

    // The last finished line of each photo of the earlier runs, in file
    // order, its keys in their order.
    Result<void> EachFinished(const std::function<void(const JsonObject&)>& take) const;

    std::size_t FinishedCount() const { return m_finished.size(); }
    // How many of those passed.
    std::size_t FinishedPassed() const;

private:
    ResumeFile() = default;

    Result<void> ReadLines(const Settings& settings, std::uintmax_t length);
    void TakeLine(const ResultsLine& line);
    ReadResults Reader() const;

    struct Finish {
        std::uint64_t offset = 0;  // of the photo's last line
        bool passed = false;
    };

    std::filesystem::path m_path;
    std::optional<AppendFile> m_file;                    // open and locked
    std::unordered_map<std::string, Finish> m_finished;  // name -> its last finished line
};

}  // namespace quorvel::cli
