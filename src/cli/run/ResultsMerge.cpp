#include "cli/run/ResultsMerge.h"

#include <algorithm>
#include <functional>

#include "cli/run/ResultsLines.h"
#include "core/common/ErrorText.h"
#include "core/text/Encoding.h"
#include "json/LineIdentity.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

namespace {

ReadResults ReaderOf(const RegularFile& file) {
    return [&file](std::uint64_t offset, std::size_t size) -> Result<std::string> {
        Result<std::string> bytes = file.ReadAt(offset, size);
        if (!bytes) {
            const int code = bytes.error().systemError;
            return Fail(ErrorKind::NotReadable,
                        ErrnoText("cannot read the results " + Quoted(file.path()), code), code,
                        file.path());
        }
        return bytes;
    };
}

std::uint64_t HashOf(const std::string& bytes) { return std::hash<std::string>{}(bytes); }

}  // namespace

Result<ResultsMerge> ResultsMerge::Open(const std::vector<fs::path>& files) {
    ResultsMerge merge;
    merge.m_paths = files;
    for (std::size_t index = 0; index < files.size(); ++index) {
        if (Result<void> read = merge.ReadFile(index); !read) return read.error();
    }
    std::vector<std::size_t> order(merge.m_lines.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&merge](std::size_t a, std::size_t b) {
        const auto& pa = merge.m_lines[a].position;
        const auto& pb = merge.m_lines[b].position;
        return pa && (!pb || *pa < *pb);
    });
    std::vector<Line> sorted;
    sorted.reserve(order.size());
    for (const std::size_t i : order) sorted.push_back(merge.m_lines[i]);
    merge.m_lines = std::move(sorted);
    merge.m_hashes.clear();
    merge.m_byName.clear();
    return merge;
}

Result<void> ResultsMerge::ReadFile(std::size_t index) {
    const fs::path& path = m_paths[index];
    Result<RegularFile> opened = RegularFile::Open(path);
    if (!opened) {
        Error error = opened.error();
        error.message = "cannot read the results " + Quoted(path) + ": " + error.message;
        return error;
    }
    if (Result<void> locked = opened->LockShared(); !locked) {
        if (locked.error().kind != ErrorKind::Refused) return locked.error();
        return Fail(ErrorKind::Refused,
                    "the results " + Quoted(path) +
                        " are in use by a run of quorvel-audit; merge once every part has ended",
                    locked.error().systemError, path);
    }
    if (opened->length() > kMaxResultsBytes) {
        return Fail(ErrorKind::TooLarge,
                    "the results " + Quoted(path) + " are longer than " +
                        std::to_string(kMaxResultsBytes) + " bytes",
                    0, path);
    }
    m_files.push_back(std::move(opened).value());
    std::optional<Error> refused;
    Result<UnfinishedLine> last = ReadResultsLines(
        path, m_files.back().length(), ReaderOf(m_files.back()), nullptr,
        [&](const ResultsLine& line) {
            if (refused) return;
            if (Result<void> taken = Take(index, line.json, line.text, line.offset); !taken) {
                refused = taken.error();
            }
        },
        ResultsUse::Merge);
    if (!last) return last.error();
    if (refused) return *refused;
    if (!last->bytes.empty()) {
        if (!StartsOurLine(last->bytes) && !nlohmann::json::accept(last->bytes)) {
            return NotOurResults(path, last->number, "is not a JSON line", ResultsUse::Merge);
        }
        m_unfinished.push_back(path);
    }
    return {};
}

Result<void> ResultsMerge::Take(std::size_t file, const JsonObject& json, const std::string& text,
                                std::uint64_t offset) {
    if (const auto given = json.find("settings"); given != json.end()) {
        if (!m_settings) {
            m_settings = *given;
            m_settingsFile = file;
        } else if (*given != *m_settings) {
            return Fail(ErrorKind::Refused, "the results " + Quoted(m_paths[m_settingsFile]) +
                                                " and " + Quoted(m_paths[file]) +
                                                " were audited with other settings (" +
                                                m_settings->dump() + " and " + given->dump() +
                                                "): merge the results of one run only");
        }
    }
    Line line{file, offset, std::nullopt};
    PhotoOutcome identity;
    ReadPhotoIdentity(json, identity);
    line.position = identity.position;
    const std::string name = PhotoNameOf(json).value_or(json["file"].get<std::string>());
    const std::uint64_t hash = HashOf(text);
    const auto [known, added] = m_byName.emplace(name, m_lines.size());
    if (added) {
        m_lines.push_back(line);
        m_hashes.push_back(hash);
        return {};
    }
    Line& before = m_lines[known->second];
    if (before.file == file) {  // the later line of one file counts, as for --resume
        before = line;
        m_hashes[known->second] = hash;
        return {};
    }
    if (m_hashes[known->second] == hash) {
        Result<std::string> earlier = Text(before);
        if (!earlier) return earlier.error();
        if (*earlier == text) return {};  // the same line twice: a part run twice
    }
    return Fail(ErrorKind::Refused, "the results " + Quoted(m_paths[before.file]) + " and " +
                                        Quoted(m_paths[file]) +
                                        " hold different lines for the photo " + Quoted(name) +
                                        ": a photo belongs to one part; merge the results of "
                                        "one run only");
}

Result<std::string> ResultsMerge::Text(const Line& line) const {
    return ResultsLineAt(ReaderOf(m_files[line.file]), line.offset);
}

}  // namespace quorvel::cli
