#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/results/PhotoOutcome.h"
#include "json/Json.h"

namespace quorvel {

// What a results line says about its photo beside the audit: its place in
// the run's list (`position`), its file as it was read (`photo_length`,
// `photo_modified`), the exact bytes of a name `file` cannot hold
// (`file_bytes`; `path_bytes` in `processed`), and the decoder's warnings
// (`warnings`). Appended after "advice", in that order, each only when it
// has a value, by the one rule for additions (ResultsJson.h).
//
// A name that is valid UTF-8 and holds no U+FFFD is written in `file` as
// it is; any other name is shown there with U+FFFD, and its bytes are
// appended escaped: each byte outside the printable ASCII characters, and
// '%', as %XX ("caf%E9.jpg" for the Latin-1 "café.jpg").

// Appends the keys of the photo to its line.
void AppendPhotoIdentity(const PhotoOutcome& outcome, JsonObject& line);

// Appends `path_bytes` to `processed` when the saved file's name needs it.
void AppendSavedPathBytes(const std::filesystem::path& saved, JsonObject& processed);

// Puts what the line records back into the outcome: its position, the
// photo's stamp and warnings, and the exact bytes of the photo's and the
// saved file's names where the line holds them.
void ReadPhotoIdentity(const JsonObject& line, PhotoOutcome& outcome);

// The exact bytes of the line's photo: `file_bytes` when there is one,
// else `file`; nothing when `file` holds U+FFFD without its bytes (a line
// of an earlier version, whose name cannot be known).
std::optional<std::string> PhotoNameOf(const JsonObject& line);

// A name's bytes escaped as above, and back (nothing for a malformed %).
std::string EscapedName(std::string_view bytes);
std::optional<std::string> UnescapedName(std::string_view escaped);

// "2026-12-08T09:10:11.123456789Z" for a file's time, and back.
std::string UtcTimeText(std::int64_t seconds, std::uint32_t nanoseconds);
std::optional<FileStamp> StampFromText(std::uintmax_t length, const std::string& utcTime);

}  // namespace quorvel
