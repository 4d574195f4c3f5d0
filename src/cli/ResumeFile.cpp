#include "cli/ResumeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>

#include "core/common/ErrorText.h"
#include "core/text/Encoding.h"

namespace quorvel::cli {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

Error FileError(const std::filesystem::path& path, const std::string& what, int code) {
    return Fail(ErrorKind::NotReadable, ErrnoText(what + " " + Quoted(path), code), code, path);
}

}  // namespace

Result<ResumeFile> ResumeFile::Open(const std::filesystem::path& path) {
    ResumeFile file;
    file.m_path = path;
    file.m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666);
    if (file.m_fd < 0) return FileError(path, "cannot open the results", errno);
    struct stat status {};
    if (::fstat(file.m_fd, &status) != 0) return FileError(path, "cannot read the results", errno);
    if (!S_ISREG(status.st_mode)) {
        return Fail(ErrorKind::NotAFile, "the results " + Quoted(path) + " are not a regular file",
                    0, path);
    }

    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(file.m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return FileError(path, "cannot read the results", errno);
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);

    const std::size_t complete = bytes.rfind('\n') == std::string::npos ? 0 : bytes.rfind('\n') + 1;
    if (complete < bytes.size() && ::ftruncate(file.m_fd, static_cast<off_t>(complete)) != 0) {
        return FileError(path, "cannot cut the unfinished last line of", errno);
    }
    std::size_t start = 0;
    while (start < complete) {
        const std::size_t end = bytes.find('\n', start);
        const nlohmann::json line =
            nlohmann::json::parse(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(end), nullptr, false);
        start = end + 1;
        if (!line.is_object() || !line.contains("file") || !line["file"].is_string()) continue;
        const std::string& name = line["file"].get_ref<const std::string&>();
        if (name.find(kReplacement) == std::string::npos) file.m_finished.insert(name);
    }
    return file;
}

ResumeFile::ResumeFile(ResumeFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(other.m_fd), m_finished(std::move(other.m_finished)) {
    other.m_fd = -1;
}

ResumeFile::~ResumeFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool ResumeFile::Finished(const std::filesystem::path& photo) const {
    const std::string& name = photo.native();
    return ValidUtf8(name) == name && m_finished.count(name) > 0;
}

Result<void> ResumeFile::Append(std::string_view line) {
    while (!line.empty()) {
        const ssize_t written = ::write(m_fd, line.data(), line.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int code = written < 0 ? errno : ENOSPC;
            return Fail(ErrorKind::WriteFailed,
                        ErrnoText("cannot append to " + Quoted(m_path), code), code, m_path);
        }
        line.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

}  // namespace quorvel::cli
