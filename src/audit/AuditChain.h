#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Background.h"
#include "analysis/HeadCrop.h"
#include "audit/AuditState.h"

class CLog;

// The two settings an audit depends on (keys "color" and "size").
struct AuditSettings {
    int color = BG_ANY;
    int size = 1;
};

// What the audit measured on its way, for callers that explain a verdict.
struct AuditTrace {
    std::vector<cv::Rect> faces;  // the detector's list, in its order
    std::uintmax_t fileLength = 0;
    cv::Size photoSize;
    bool backgroundChecked = false;
    BackgroundTrace background;
    bool cropAttempted = false;
    CropTrace crop;
};

struct AuditResult {
    int state = AUDIT_INITIAL;
    std::optional<cv::Rect> face;  // the chosen face, when one was found
};

// A photo file must be at least this long (30 KiB).
inline constexpr std::uintmax_t kMinFileLength = 30720;

// Smallest accepted photo for a size mode, width x height (both inclusive).
cv::Size MinimumPhotoSize(int sizeMode);

// Decodes a photo in colour (8-bit, blue-green-red). Any failure, including
// the decoder throwing on an oversized or damaged file, gives an empty image;
// so does a path that is not a regular file, which is never opened.
cv::Mat DecodePhoto(const std::string& narrowPath);

// The rules after face detection, in order: file length, rows, columns,
// background, head proportion with crop. Returns the verdict; on
// AUDIT_PASSED processedPhoto holds the new photo, otherwise it is untouched.
int CheckPhotoRules(const cv::Rect& face, const cv::Mat& photo, int sizeMode,
                    const std::wstring& pathName, int color, cv::Mat& processedPhoto,
                    AuditTrace* trace = nullptr);

// The audit of a decoded photo: decodability, face detection, then the rules.
AuditResult RunAudit(cv::CascadeClassifier& cascade, const cv::Mat& photo,
                     const std::wstring& pathName, const AuditSettings& settings,
                     cv::Mat& processedPhoto, AuditTrace* trace = nullptr);

// Decodes the file at pathName and audits it.
AuditResult AuditPhotoFile(cv::CascadeClassifier& cascade, const std::wstring& pathName,
                           const AuditSettings& settings, cv::Mat& processedPhoto,
                           AuditTrace* trace = nullptr);

// Writes the verdict line: the file name, the verdict text and a line end.
// Nothing is written for AUDIT_INITIAL.
void LogVerdict(CLog& log, const std::wstring& fileName, int state);
