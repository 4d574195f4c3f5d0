#pragma once

#include <ctime>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <string>

#include "core/audit/AuditReport.h"
#include "core/common/Result.h"

namespace testsupport {

// A fresh directory under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Changes the working directory for the lifetime of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path& dir);
    ~ScopedCwd();
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    std::filesystem::path m_previous;
};

std::filesystem::path DataPath(const std::string& name);
// Copies the fixture `name` to `to`, creating its folders, replacing a file there.
void CopyFixture(const std::string& name, const std::filesystem::path& to);
std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

// Debian's frontal-face cascade, loaded once.
cv::CascadeClassifier& Cascade();

// The log's clock fixed at 2015-03-05 09:07:02.
std::tm FixedTime();

// A small photo to save: 215 x 301, a disc on a blue background.
cv::Mat SamplePhoto();

// An audit's trace that reached every stage, the crop accepted: a value of
// every kind the results hold.
quorvel::AuditTrace FullTrace();

// A photo loaded from tests/data in colour mode; fails the test when empty.
cv::Mat LoadFixture(const std::string& name);

// A save's outcome as flat fields, for table rows that compare them.
struct SaveOutcome {
    bool ok = false;
    quorvel::ErrorKind code = quorvel::ErrorKind::WriteFailed;
    std::string error;
    int systemError = 0;
    std::string target;
    std::uintmax_t imageBytes = 0;
};

// SaveProcessedPhoto, its outcome flattened.
SaveOutcome Save(const cv::Mat& photo, const std::filesystem::path& destination);

}  // namespace testsupport
