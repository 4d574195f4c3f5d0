#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/common/Result.h"
#include "core/io/FileStatus.h"

namespace quorvel::cli {

// A file of a run as looked at once: what is there (links followed), and
// its full name as a case-insensitive file system compares it.
struct RunFile {
    std::filesystem::path path;
    EntryStatus status;
    std::string fullName;
};

// The folder of a path with its links resolved (as far as it exists), and
// the file's name as a case-insensitive file system compares it, so that two
// spellings of one file compare equal; folders are looked up once.
class FoldedNames {
public:
    std::string FullName(const std::filesystem::path& path);

    // The file looked at now, or with the status found earlier.
    RunFile Look(const std::filesystem::path& path);
    RunFile Look(const std::filesystem::path& path, const EntryStatus& status);

private:
    std::unordered_map<std::string, std::string> m_known;
};

// The files of one run, each known by device and inode when it exists, and
// by its folded name (see FoldedNames) while it does not, so that no file the
// run writes lands on a file it reads or on another file it writes. Every
// file is recorded with its role ("the list (--files-from)"), which the
// refusal names.
class RunFiles {
public:
    enum class Access { Read, Write };

    // Records a file, looked at now or as looked at already. A file read is
    // refused when the run writes it; a file written when the run reads or
    // writes it already. The message names both files and both roles.
    Result<void> Add(const std::filesystem::path& path, const std::string& role, Access access);
    Result<void> Add(const RunFile& file, const std::string& role, Access access);

    // Refused as Add would refuse a write, without recording the file.
    Result<void> CheckWrite(const RunFile& file, const std::string& role);

    // Records an open descriptor the run writes (standard output redirected
    // to a file), by device and inode.
    Result<void> AddDescriptor(int fd, const std::string& role);

private:
    struct Entry {
        std::filesystem::path path;
        std::string role;
        Access access;
    };

    // The recorded entry the file would clash with, if any.
    const Entry* Find(const RunFile& file, Access access) const;
    Result<void> Record(const RunFile& file, const std::string& role, Access access, bool keep);

    FoldedNames m_names;
    std::vector<Entry> m_entries;
    std::map<FileIdentity, std::size_t> m_byIdentity;
    std::unordered_map<std::string, std::size_t> m_byName;         // every entry
    std::unordered_map<std::string, std::size_t> m_missingByName;  // entries not made yet
};

// Whether a report page may be written at this path: Refused when it is a
// link, or something other than a regular file.
Result<void> CheckReportTarget(const std::filesystem::path& page);

}  // namespace quorvel::cli
