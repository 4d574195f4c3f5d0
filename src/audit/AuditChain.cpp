#include "audit/AuditChain.h"

#include <sys/stat.h>

#include <filesystem>
#include <new>
#include <opencv2/imgcodecs.hpp>

#include "app/Log.h"
#include "audit/FaceDetect.h"
#include "audit/PathText.h"

cv::Size MinimumPhotoSize(int sizeMode) {
    return sizeMode == 2 ? cv::Size(295, 447) : cv::Size(215, 300);
}

cv::Mat DecodePhoto(const std::string& narrowPath) {
    // Only a regular file (or a link to one) is read: a FIFO nobody writes to,
    // a device or a socket would block the reader or never end. The type is
    // taken from stat, which does not open the file.
    struct stat status {};
    if (::stat(narrowPath.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return {};
    try {
        return cv::imread(narrowPath, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

namespace {

// The file's length, or nothing when it cannot be read (removed or replaced
// by something that is not a regular file since it was decoded).
std::optional<std::uintmax_t> FileLength(const std::wstring& pathName) {
    std::error_code ec;
    const std::filesystem::path path(ToThreadAnsiPath(pathName));
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::uintmax_t length = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    return length;
}

}  // namespace

int CheckPhotoRules(const cv::Rect& face, const cv::Mat& photo, int sizeMode,
                    const std::wstring& pathName, int color, cv::Mat& processedPhoto,
                    AuditTrace* trace) {
    const cv::Size minimum = MinimumPhotoSize(sizeMode);

    std::optional<std::uintmax_t> length = FileLength(pathName);
    if (!length) return AUDIT_BAD_FORMAT;  // the file can no longer be read
    if (trace != nullptr) trace->fileLength = *length;
    if (*length < kMinFileLength) return AUDIT_TOO_SMALL;

    if (photo.rows < minimum.height) return AUDIT_TOO_SMALL;
    if (photo.cols < minimum.width) return AUDIT_TOO_SMALL;

    if (trace != nullptr) trace->backgroundChecked = true;
    if (!CheckBackground(photo, color, trace != nullptr ? &trace->background : nullptr)) {
        return AUDIT_BAD_BACKGROUND;
    }

    if (trace != nullptr) trace->cropAttempted = true;
    if (!FramePhoto(face, photo, sizeMode, processedPhoto,
                    trace != nullptr ? &trace->crop : nullptr)) {
        return AUDIT_BAD_PROPORTION;
    }
    return AUDIT_PASSED;
}

AuditResult RunAudit(cv::CascadeClassifier& cascade, const cv::Mat& photo,
                     const std::wstring& pathName, const AuditSettings& settings,
                     cv::Mat& processedPhoto, AuditTrace* trace) {
    AuditResult result;
    if (trace != nullptr) trace->photoSize = photo.size();
    if (photo.empty()) {
        result.state = AUDIT_BAD_FORMAT;
        return result;
    }
    result.face = DetectFace(cascade, photo, trace != nullptr ? &trace->faces : nullptr);
    if (!result.face) {
        result.state = AUDIT_NO_FACE;
        return result;
    }
    result.state = CheckPhotoRules(*result.face, photo, settings.size, pathName, settings.color,
                                   processedPhoto, trace);
    return result;
}

AuditResult AuditPhotoFile(cv::CascadeClassifier& cascade, const std::wstring& pathName,
                           const AuditSettings& settings, cv::Mat& processedPhoto,
                           AuditTrace* trace) {
    const cv::Mat photo = DecodePhoto(ToThreadAnsiPath(pathName));
    return RunAudit(cascade, photo, pathName, settings, processedPhoto, trace);
}

void LogVerdict(CLog& log, const std::wstring& fileName, int state) {
    const wchar_t* text = VerdictLogText(state);
    if (text == nullptr) return;
    log.Write(L"%ls%ls\r\n", fileName.c_str(), text);
}
