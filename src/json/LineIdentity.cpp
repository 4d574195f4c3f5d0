#include "json/LineIdentity.h"

#include <cstdio>
#include <ctime>

#include "core/text/Encoding.h"

namespace quorvel {

namespace {

using Json = JsonObject;

// The keys this file appends to a line and reads back.
constexpr const char* kPosition = "position";
constexpr const char* kPhotoLength = "photo_length";
constexpr const char* kPhotoModified = "photo_modified";
constexpr const char* kFileBytes = "file_bytes";
constexpr const char* kPathBytes = "path_bytes";

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Whether "file" holds the name's bytes as they are.
bool ShownExactly(const std::string& bytes) {
    return bytes.find(kReplacement) == std::string::npos && ValidUtf8(bytes) == bytes;
}

const Json* Find(const Json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found != object.end() ? &*found : nullptr;
}

std::optional<std::string> TextAt(const Json& object, const char* key) {
    const Json* value = Find(object, key);
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string EscapedName(std::string_view bytes) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '%') {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 15];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> UnescapedName(std::string_view escaped) {
    std::string bytes;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '%') {
            bytes += escaped[i];
            continue;
        }
        if (i + 2 >= escaped.size()) return std::nullopt;
        const int high = HexDigit(escaped[i + 1]);
        const int low = HexDigit(escaped[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return bytes;
}

std::string UtcTimeText(std::int64_t seconds, std::uint32_t nanoseconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[48];
    const std::size_t length = std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof(text) - length, ".%09uZ", nanoseconds);
    return text;
}

std::optional<FileStamp> StampFromText(std::uintmax_t length, const std::string& utcTime) {
    std::tm utc{};
    unsigned nanoseconds = 0;
    int consumed = 0;
    if (std::sscanf(utcTime.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%9uZ%n", &utc.tm_year, &utc.tm_mon,
                    &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &nanoseconds,
                    &consumed) != 7 ||
        static_cast<std::size_t>(consumed) != utcTime.size()) {
        return std::nullopt;
    }
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    return FileStamp{length, static_cast<std::int64_t>(timegm(&utc)), nanoseconds};
}

void AppendPhotoIdentity(const PhotoOutcome& outcome, JsonObject& line) {
    const AuditReport& audit = outcome.audit;
    if (outcome.position) line[kPosition] = *outcome.position;
    if (audit.photoStamp) {
        line[kPhotoLength] = audit.photoStamp->length;
        line[kPhotoModified] =
            UtcTimeText(audit.photoStamp->modifiedSeconds, audit.photoStamp->modifiedNanoseconds);
    }
    if (const std::string& name = outcome.file.native(); !ShownExactly(name)) {
        line[kFileBytes] = EscapedName(name);
    }
    if (!audit.warnings.empty()) {
        JsonObject warnings = JsonObject::array();
        for (const std::string& warning : audit.warnings) warnings.push_back(ValidUtf8(warning));
        line["warnings"] = std::move(warnings);
    }
}

void AppendSavedPathBytes(const std::filesystem::path& saved, JsonObject& processed) {
    if (!ShownExactly(saved.native())) processed[kPathBytes] = EscapedName(saved.native());
}

std::optional<std::string> PhotoNameOf(const JsonObject& line) {
    if (const std::optional<std::string> escaped = TextAt(line, kFileBytes)) {
        return UnescapedName(*escaped);
    }
    std::optional<std::string> shown = TextAt(line, "file");
    if (shown && shown->find(kReplacement) != std::string::npos) return std::nullopt;
    return shown;
}

void ReadPhotoIdentity(const JsonObject& line, PhotoOutcome& outcome) {
    AuditReport& audit = outcome.audit;
    if (const Json* position = Find(line, kPosition);
        position != nullptr && position->is_number_unsigned()) {
        outcome.position = position->get<std::size_t>();
    }
    const Json* length = Find(line, kPhotoLength);
    const std::optional<std::string> modified = TextAt(line, kPhotoModified);
    if (length != nullptr && length->is_number_unsigned() && modified) {
        audit.photoStamp = StampFromText(length->get<std::uintmax_t>(), *modified);
    }
    if (const std::optional<std::string> escaped = TextAt(line, kFileBytes)) {
        if (const std::optional<std::string> bytes = UnescapedName(*escaped)) outcome.file = *bytes;
    }
    if (const Json* processed = Find(line, "processed"); processed != nullptr) {
        if (const std::optional<std::string> escaped = TextAt(*processed, kPathBytes)) {
            if (const std::optional<std::string> bytes = UnescapedName(*escaped)) {
                outcome.savedPath = *bytes;
            }
        }
    }
    if (const Json* warnings = Find(line, "warnings");
        warnings != nullptr && warnings->is_array()) {
        for (const Json& warning : *warnings) {
            if (warning.is_string()) audit.warnings.push_back(warning.get<std::string>());
        }
    }
}

}  // namespace quorvel
