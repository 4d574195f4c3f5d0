#include "cli/run/ResumeFile.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "core/audit/Verdict.h"
#include "core/common/ErrorText.h"
#include "json/LineIdentity.h"

namespace quorvel::cli {

namespace {

Error FileError(const std::filesystem::path& path, const std::string& what, int code) {
    return Fail(ErrorKind::NotReadable, ErrnoText(what + " " + Quoted(path), code), code, path);
}

// A failure of the results file in the words of its step.
Error FileError(const std::filesystem::path& path, const std::string& what, const Error& error) {
    return FileError(path, what, error.systemError);
}

}  // namespace

Result<ResumeFile> ResumeFile::Open(const std::filesystem::path& path, const Settings& settings) {
    ResumeFile file;
    file.m_path = path;
    Result<AppendFile> opened = AppendFile::Open(path);
    if (!opened) return FileError(path, "cannot open the results", opened.error());
    file.m_file.emplace(std::move(opened).value());
    const Result<std::uintmax_t> length = file.m_file->Length();
    if (!length && length.error().kind == ErrorKind::NotAFile) {
        return Fail(ErrorKind::NotAFile, "the results " + Quoted(path) + " are not a regular file",
                    0, path);
    }
    if (!length) return FileError(path, "cannot read the results", length.error());
    if (Result<void> locked = file.m_file->Lock(); !locked) {
        if (locked.error().kind == ErrorKind::Refused) {
            return Fail(ErrorKind::Refused,
                        "the results " + Quoted(path) +
                            " are in use by another run of quorvel-audit; let it finish, or "
                            "give each run its own results file",
                        locked.error().systemError, path);
        }
        return FileError(path, "cannot lock the results", locked.error());
    }
    if (*length > kMaxResultsBytes) {
        return Fail(ErrorKind::TooLarge,
                    "the results " + Quoted(path) + " are longer than " +
                        std::to_string(kMaxResultsBytes) +
                        " bytes; split the run with --shard, each part with its own results file",
                    EFBIG, path);
    }
    if (Result<void> read = file.ReadLines(settings, *length); !read) return read.error();
    return file;
}

ReadResults ResumeFile::Reader() const {
    return [this](std::uint64_t offset, std::size_t size) -> Result<std::string> {
        Result<std::string> bytes = m_file->ReadAt(offset, size);
        if (!bytes) return FileError(m_path, "cannot read the results", bytes.error());
        return bytes;
    };
}

Result<void> ResumeFile::ReadLines(const Settings& settings, std::uintmax_t length) {
    Result<UnfinishedLine> last = ReadResultsLines(
        m_path, length, Reader(), &settings, [this](const ResultsLine& line) { TakeLine(line); });
    if (!last) return last.error();
    if (last->bytes.empty()) return {};
    // The last line has no line end: a whole line of ours gets one, the start
    // of one (a run killed while writing it) is cut off, anything else is
    // not ours.
    if (nlohmann::json::accept(last->bytes)) {
        Result<JsonObject> line = OurResultsLine(last->bytes, &settings);
        if (!line) return RefusedLine(m_path, last->number, line.error());
        TakeLine({std::move(line).value(), last->bytes, last->offset, last->number});
        return Append("\n");
    }
    if (!StartsOurLine(last->bytes))
        return NotOurResults(m_path, last->number, "is not a JSON line");
    if (Result<void> cut = m_file->CutTo(last->offset); !cut) {
        return FileError(m_path, "cannot cut the unfinished last line of", cut.error());
    }
    return {};
}

void ResumeFile::TakeLine(const ResultsLine& line) {
    const std::optional<std::string> name = PhotoNameOf(line.json);
    if (line.json.contains("error") || !name) return;
    m_finished[*name] = {line.offset,
                         line.json["state"].get<int>() == VerdictNumber(Verdict::Passed)};
}

bool ResumeFile::Finished(const std::filesystem::path& photo) const {
    return m_finished.count(photo.native()) > 0;
}

std::size_t ResumeFile::FinishedPassed() const {
    return static_cast<std::size_t>(
        std::count_if(m_finished.begin(), m_finished.end(),
                      [](const auto& entry) { return entry.second.passed; }));
}

Result<void> ResumeFile::EachFinished(const std::function<void(const JsonObject&)>& take) const {
    std::vector<std::uint64_t> offsets;
    offsets.reserve(m_finished.size());
    for (const auto& [name, finish] : m_finished) offsets.push_back(finish.offset);
    std::sort(offsets.begin(), offsets.end());
    for (const std::uint64_t offset : offsets) {
        Result<std::string> bytes = ResultsLineAt(Reader(), offset);
        if (!bytes) return bytes.error();
        take(JsonObject::parse(*bytes, nullptr, false));
    }
    return {};
}

Result<void> ResumeFile::Append(std::string_view line) {
    if (Result<void> appended = m_file->Append(line); !appended) {
        const int code = appended.error().systemError;
        return Fail(ErrorKind::WriteFailed, ErrnoText("cannot append to " + Quoted(m_path), code),
                    code, m_path);
    }
    return {};
}

}  // namespace quorvel::cli
