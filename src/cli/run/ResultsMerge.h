#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/common/Result.h"
#include "core/io/RegularFile.h"
#include "json/Json.h"

namespace quorvel::cli {

// The results files of the parts of a split run (or of a resumed run) as
// the lines of one run, for --from-results: each photo once, in the order
// of the run's list.
class ResultsMerge {
public:
    // One photo's line: in which file and where.
    struct Line {
        std::size_t file = 0;  // index into files()
        std::uint64_t offset = 0;
        std::optional<std::size_t> position;  // its place in the run's list
    };

    // Reads every file (a results file of this command, read under a shared
    // lock: Refused while a run still appends to it). Within one file the
    // last line of a photo counts, as for --resume; a photo is known by the
    // exact bytes of its path. The same line in two files (a part run
    // twice) counts once; two different lines for one photo in two files,
    // or lines audited with other settings, are refused, naming both files.
    static Result<ResultsMerge> Open(const std::vector<std::filesystem::path>& files);

    // The lines by their position in the run's list; lines without one
    // follow, in the order of the files.
    const std::vector<Line>& lines() const { return m_lines; }

    // The line's bytes, without its line end.
    Result<std::string> Text(const Line& line) const;

    const std::vector<std::filesystem::path>& files() const { return m_paths; }

    // The settings the lines were audited with, when they record them.
    const std::optional<JsonObject>& settings() const { return m_settings; }

    // The files whose last line is unfinished (a run killed while writing
    // it): that photo is not among the lines.
    const std::vector<std::filesystem::path>& unfinished() const { return m_unfinished; }

private:
    ResultsMerge() = default;

    Result<void> ReadFile(std::size_t index);
    // Takes one photo's line, or refuses it against the one taken before.
    Result<void> Take(std::size_t file, const JsonObject& json, const std::string& text,
                      std::uint64_t offset);

    std::vector<std::filesystem::path> m_paths;
    std::vector<RegularFile> m_files;
    std::vector<Line> m_lines;
    std::vector<std::uint64_t> m_hashes;  // of each line's bytes, as m_lines
    std::unordered_map<std::string, std::size_t> m_byName;
    std::optional<JsonObject> m_settings;
    std::size_t m_settingsFile = 0;
    std::vector<std::filesystem::path> m_unfinished;
};

}  // namespace quorvel::cli
