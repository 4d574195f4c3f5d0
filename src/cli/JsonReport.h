#pragma once

#include <nlohmann/json.hpp>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audit/AuditChain.h"

// The JSON objects that quorvel-audit prints, one per line. Keys keep the
// order in which they are documented.
using JsonObject = nlohmann::ordered_json;

// What became of one photo.
struct PhotoReport {
    std::string file;  // the path as given on the command line
    AuditResult result;
    std::optional<cv::Size> processedSize;  // set when a processed photo was made
    std::optional<std::string> savedPath;   // the file written for it
    std::optional<std::string> error;       // why it could not be saved or audited
    const AuditTrace* trace = nullptr;      // the measured values, with --explain
};

JsonObject PhotoJson(const PhotoReport& report);

// The values the audit measured, stage by stage; a stage the audit did not
// reach is null.
JsonObject TraceJson(const AuditTrace& trace, const AuditResult& result);

JsonObject MarkerJson(const std::string& file, bool marker,
                      const std::optional<std::string>& error = std::nullopt);

// The line of --verify: whether the file ends with the pass marker, whether
// it is genuine, and each failed condition.
JsonObject GenuineJson(const std::string& file, bool marker, bool genuine,
                       const std::vector<std::string>& problems,
                       const std::optional<std::string>& error = std::nullopt);

JsonObject SettingsJson(int color, int size);

// The scalar values of an object as label and text, labels joined by dots
// ("background.coverage"); null values are left out.
std::vector<std::pair<std::string, std::string>> FlatValues(const JsonObject& object);

// One compact line without its line end. Bytes that are not UTF-8 (a file
// name in another encoding) are shown as U+FFFD.
std::string JsonLine(const JsonObject& object);
