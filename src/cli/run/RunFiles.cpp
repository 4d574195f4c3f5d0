#include "cli/run/RunFiles.h"

#include "cli/output/NameText.h"
#include "core/common/ErrorText.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

std::string FoldedNames::FullName(const fs::path& path) {
    const fs::path folder = path.parent_path().empty() ? "." : path.parent_path();
    auto found = m_known.find(folder.native());
    if (found == m_known.end()) {
        found = m_known.emplace(folder.native(), ResolvedPath(folder).native()).first;
    }
    return found->second + "/" + FoldedName(path.filename().native());
}

RunFile FoldedNames::Look(const fs::path& path) { return Look(path, StatusOf(path)); }

RunFile FoldedNames::Look(const fs::path& path, const EntryStatus& status) {
    return {path, status, FullName(path)};
}

const RunFiles::Entry* RunFiles::Find(const RunFile& file, Access access) const {
    // A file read clashes only with a file written; a file written with any.
    auto clashes = [&](std::size_t index) -> const Entry* {
        const Entry& entry = m_entries[index];
        if (access == Access::Read && entry.access == Access::Read) return nullptr;
        return &entry;
    };
    if (file.status.exists()) {
        if (auto it = m_byIdentity.find(file.status.identity); it != m_byIdentity.end()) {
            if (const Entry* entry = clashes(it->second)) return entry;
        }
        // Names compare only with files not made yet: two existing files
        // whose names differ in case are two files.
        if (auto it = m_missingByName.find(file.fullName); it != m_missingByName.end()) {
            return clashes(it->second);
        }
        return nullptr;
    }
    if (auto it = m_byName.find(file.fullName); it != m_byName.end()) return clashes(it->second);
    return nullptr;
}

Result<void> RunFiles::Record(const RunFile& file, const std::string& role, Access access,
                              bool keep) {
    if (const Entry* other = Find(file, access)) {
        const Entry added{file.path, role, access};
        const Entry& writer = access == Access::Write ? added : *other;
        const Entry& under = access == Access::Write ? *other : added;
        return Fail(ErrorKind::Refused,
                    writer.role + " " + Quoted(writer.path) + " would be written over " +
                        under.role + " " + Quoted(under.path) +
                        "; give each its own file (names are compared ignoring case)",
                    0, file.path);
    }
    if (!keep) return {};
    const std::size_t index = m_entries.size();
    m_entries.push_back({file.path, role, access});
    if (file.status.exists()) m_byIdentity.emplace(file.status.identity, index);
    m_byName.emplace(file.fullName, index);
    if (!file.status.exists()) m_missingByName.emplace(file.fullName, index);
    return {};
}

Result<void> RunFiles::Add(const fs::path& path, const std::string& role, Access access) {
    return Record(m_names.Look(path), role, access, true);
}

Result<void> RunFiles::Add(const RunFile& file, const std::string& role, Access access) {
    return Record(file, role, access, true);
}

Result<void> RunFiles::CheckWrite(const RunFile& file, const std::string& role) {
    return Record(file, role, Access::Write, false);
}

Result<void> RunFiles::AddDescriptor(int fd, const std::string& role) {
    const EntryStatus status = StatusOfDescriptor(fd);
    if (status.type != EntryType::Regular) return {};
    if (auto it = m_byIdentity.find(status.identity); it != m_byIdentity.end()) {
        const Entry& other = m_entries[it->second];
        return Fail(ErrorKind::Refused, role + " would be written over " + other.role + " " +
                                            Quoted(other.path) + "; give each its own file");
    }
    const std::size_t index = m_entries.size();
    m_entries.push_back({fs::path("/dev/fd") / std::to_string(fd), role, Access::Write});
    m_byIdentity.emplace(status.identity, index);
    return {};
}

Result<void> CheckReportTarget(const fs::path& page) {
    const EntryType type = StatusOf(page, Links::Keep).type;
    if (type == EntryType::Missing) return {};
    if (type == EntryType::Link) {
        return Fail(ErrorKind::Refused,
                    "the report page " + Quoted(page) +
                        " is a link to another file; give the name of a regular file",
                    0, page);
    }
    if (type != EntryType::Regular) {
        return Fail(ErrorKind::Refused,
                    "the report page " + Quoted(page) + " is not a regular file", 0, page);
    }
    return {};
}

}  // namespace quorvel::cli
