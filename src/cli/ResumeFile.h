#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>

#include "core/common/Result.h"

namespace quorvel::cli {

// The JSON lines of earlier runs, for --resume: which photos have a complete
// line already, and the file the new lines are appended to.
class ResumeFile {
public:
    // Opens (creating it when missing) a regular file, without blocking, and
    // reads its lines. A last line without its line end (a run killed while
    // writing it) is cut off, so that the next line starts clean.
    static Result<ResumeFile> Open(const std::filesystem::path& path);

    ResumeFile(ResumeFile&& other) noexcept;
    ResumeFile& operator=(ResumeFile&&) = delete;
    ResumeFile(const ResumeFile&) = delete;
    ResumeFile& operator=(const ResumeFile&) = delete;
    ~ResumeFile();

    // True when a complete line names this photo. A name that is not UTF-8
    // was written with U+FFFD and cannot be matched: it is audited again.
    bool Finished(const std::filesystem::path& photo) const;

    // Appends one line (with its line end) and flushes it to the file.
    Result<void> Append(std::string_view line);

    std::size_t FinishedCount() const { return m_finished.size(); }

private:
    ResumeFile() = default;

    std::filesystem::path m_path;
    int m_fd = -1;
    std::unordered_set<std::string> m_finished;
};

}  // namespace quorvel::cli
