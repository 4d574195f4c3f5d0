#include "cli/run/ResumeFile.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "core/common/ErrorText.h"
#include "core/text/Encoding.h"

namespace quorvel::cli {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kLineStart = "{\"file\":";      // how every line of ours begins

Error FileError(const std::filesystem::path& path, const std::string& what, int code) {
    return Fail(ErrorKind::NotReadable, ErrnoText(what + " " + Quoted(path), code), code, path);
}

Error NotOurs(const std::filesystem::path& path, std::size_t line, const std::string& why) {
    return Fail(ErrorKind::BadContent,
                "the results " + Quoted(path) + " are not results of quorvel-audit (line " +
                    std::to_string(line) + " " + why +
                    "); the file is left as it is: give a new file name to --resume",
                0, path);
}

Error NotOurs(const std::filesystem::path& path, std::size_t line, const Error& why) {
    if (why.kind == ErrorKind::Refused) {
        return Fail(ErrorKind::Refused,
                    "the results " + Quoted(path) + " line " + std::to_string(line) + " " +
                        why.message +
                        "; resume with the same settings, or give a new file name to --resume",
                    0, path);
    }
    return NotOurs(path, line, why.message);
}

// A failure of the results file in the words of its step.
Error FileError(const std::filesystem::path& path, const std::string& what, const Error& error) {
    return FileError(path, what, error.systemError);
}

// A line of ours: an object with the photo's name and its verdict number.
bool OurLine(const nlohmann::json& line) {
    if (!line.is_object()) return false;
    const auto file = line.find("file");
    const auto state = line.find("state");
    return file != line.end() && file->is_string() && state != line.end() &&
           state->is_number_integer() && *state >= 0 && *state <= 6;
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

Result<void> ResumeFile::ReadLines(const Settings& settings, std::uintmax_t length) {
    constexpr std::size_t kChunk = 1 << 20;
    std::string pending;       // the line being read
    std::uint64_t lineAt = 0;  // its offset
    std::size_t lineNumber = 1;
    for (std::uint64_t offset = 0; offset < length; offset += kChunk) {
        Result<std::string> chunk = m_file->ReadAt(offset, kChunk);
        if (!chunk) return FileError(m_path, "cannot read the results", chunk.error());
        if (chunk->empty()) break;
        for (std::size_t start = 0; start < chunk->size();) {
            const std::size_t end = chunk->find('\n', start);
            const std::size_t stop = end == std::string::npos ? chunk->size() : end;
            pending.append(*chunk, start, stop - start);
            if (pending.size() > kMaxResultsLineBytes) {
                return NotOurs(m_path, lineNumber,
                               "is longer than " + std::to_string(kMaxResultsLineBytes) + " bytes");
            }
            if (end == std::string::npos) break;
            if (Result<void> taken = TakeLine(pending, lineAt, settings); !taken) {
                return NotOurs(m_path, lineNumber, taken.error());
            }
            lineAt = offset + end + 1;
            pending.clear();
            ++lineNumber;
            start = end + 1;
        }
    }
    if (pending.empty()) return {};
    // The last line has no line end: a whole line of ours gets one, the start
    // of one (a run killed while writing it) is cut off, anything else is
    // not ours.
    if (nlohmann::json::accept(pending)) {
        if (Result<void> taken = TakeLine(pending, lineAt, settings); !taken) {
            return NotOurs(m_path, lineNumber, taken.error());
        }
        return Append("\n");
    }
    if (pending.compare(0, kLineStart.size(), kLineStart) != 0 &&
        kLineStart.compare(0, pending.size(), pending) != 0) {
        return NotOurs(m_path, lineNumber, "is not a JSON line");
    }
    if (Result<void> cut = m_file->CutTo(lineAt); !cut) {
        return FileError(m_path, "cannot cut the unfinished last line of", cut.error());
    }
    return {};
}

Result<void> ResumeFile::TakeLine(std::string_view text, std::uint64_t offset,
                                  const Settings& settings) {
    const nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
    if (!OurLine(line)) return Fail(ErrorKind::BadContent, "is not one of its JSON lines");
    if (const auto given = line.find("settings"); given != line.end()) {
        const nlohmann::json expected = {{"color", static_cast<int>(settings.color)},
                                         {"size", static_cast<int>(settings.size)}};
        if (*given != expected) {
            return Fail(ErrorKind::Refused, "was audited with the settings " + given->dump() +
                                                ", this run's are " + expected.dump());
        }
    }
    const std::string& name = line["file"].get_ref<const std::string&>();
    if (line.contains("error") || name.find(kReplacement) != std::string::npos) return {};
    m_finished[name] = offset;
    return {};
}

bool ResumeFile::Finished(const std::filesystem::path& photo) const {
    const std::string& name = photo.native();
    return ValidUtf8(name) == name && m_finished.count(name) > 0;
}

Result<void> ResumeFile::EachFinished(const std::function<void(const JsonObject&)>& take) const {
    std::vector<std::uint64_t> offsets;
    offsets.reserve(m_finished.size());
    for (const auto& [name, offset] : m_finished) offsets.push_back(offset);
    std::sort(offsets.begin(), offsets.end());
    for (const std::uint64_t offset : offsets) {
        // Most lines are short: a long one is read again whole.
        Result<std::string> bytes = m_file->ReadAt(offset, 65536);
        if (bytes && bytes->find('\n') == std::string::npos) {
            bytes = m_file->ReadAt(offset, kMaxResultsLineBytes + 1);
        }
        if (!bytes) return FileError(m_path, "cannot read the results", bytes.error());
        const std::size_t end = bytes->find('\n');
        take(JsonObject::parse(bytes->substr(0, end), nullptr, false));
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
