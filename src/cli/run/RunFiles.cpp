#include "cli/run/RunFiles.h"

#include <sys/stat.h>

#include "cli/output/NameText.h"
#include "core/common/ErrorText.h"

namespace quorvel::cli {

namespace fs = std::filesystem;

std::string FoldedNames::FullName(const fs::path& path) {
    const fs::path folder = path.parent_path().empty() ? "." : path.parent_path();
    auto found = m_known.find(folder.native());
    if (found == m_known.end()) {
        std::error_code ec;
        fs::path resolved = fs::weakly_canonical(fs::absolute(folder, ec), ec);
        if (ec) resolved = folder.lexically_normal();
        found = m_known.emplace(folder.native(), resolved.native()).first;
    }
    return found->second + "/" + FoldedName(path.filename().native());
}

const RunFiles::Entry* RunFiles::Find(bool exists, const Identity& identity,
                                      const std::string& name, Access access) const {
    // A file read clashes only with a file written; a file written with any.
    auto clashes = [&](std::size_t index) -> const Entry* {
        const Entry& entry = m_entries[index];
        if (access == Access::Read && entry.access == Access::Read) return nullptr;
        return &entry;
    };
    if (exists) {
        if (auto it = m_byIdentity.find(identity); it != m_byIdentity.end()) {
            if (const Entry* entry = clashes(it->second)) return entry;
        }
        // Names compare only with files not made yet: two existing files
        // whose names differ in case are two files.
        if (auto it = m_missingByName.find(name); it != m_missingByName.end()) {
            return clashes(it->second);
        }
        return nullptr;
    }
    if (auto it = m_byName.find(name); it != m_byName.end()) return clashes(it->second);
    return nullptr;
}

Result<void> RunFiles::Record(const fs::path& path, const std::string& role, Access access,
                              bool keep) {
    struct stat status {};
    const bool exists = ::stat(path.c_str(), &status) == 0;
    const Identity identity{status.st_dev, status.st_ino};
    const std::string name = m_names.FullName(path);
    if (const Entry* other = Find(exists, identity, name, access)) {
        const Entry added{path, role, access};
        const Entry& writer = access == Access::Write ? added : *other;
        const Entry& under = access == Access::Write ? *other : added;
        return Fail(ErrorKind::Refused,
                    writer.role + " " + Quoted(writer.path) + " would be written over " +
                        under.role + " " + Quoted(under.path) +
                        "; give each its own file (names are compared ignoring case)",
                    0, path);
    }
    if (!keep) return {};
    const std::size_t index = m_entries.size();
    m_entries.push_back({path, role, access});
    if (exists) m_byIdentity.emplace(identity, index);
    m_byName.emplace(name, index);
    if (!exists) m_missingByName.emplace(name, index);
    return {};
}

Result<void> RunFiles::Add(const fs::path& path, const std::string& role, Access access) {
    return Record(path, role, access, true);
}

Result<void> RunFiles::CheckWrite(const fs::path& path, const std::string& role) {
    return Record(path, role, Access::Write, false);
}

Result<void> RunFiles::AddDescriptor(int fd, const std::string& role) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return {};
    const Identity identity{status.st_dev, status.st_ino};
    if (auto it = m_byIdentity.find(identity); it != m_byIdentity.end()) {
        const Entry& other = m_entries[it->second];
        return Fail(ErrorKind::Refused, role + " would be written over " + other.role + " " +
                                            Quoted(other.path) + "; give each its own file");
    }
    const std::size_t index = m_entries.size();
    m_entries.push_back({fs::path("/dev/fd") / std::to_string(fd), role, Access::Write});
    m_byIdentity.emplace(identity, index);
    return {};
}

Result<void> CheckReportTarget(const fs::path& page) {
    struct stat status {};
    if (::lstat(page.c_str(), &status) != 0) return {};
    if (S_ISLNK(status.st_mode)) {
        return Fail(ErrorKind::Refused,
                    "the report page " + Quoted(page) +
                        " is a link to another file; give the name of a regular file",
                    0, page);
    }
    if (!S_ISREG(status.st_mode)) {
        return Fail(ErrorKind::Refused,
                    "the report page " + Quoted(page) + " is not a regular file", 0, page);
    }
    return {};
}

}  // namespace quorvel::cli
