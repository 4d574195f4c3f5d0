#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "core/explain/Explanation.h"
#include "core/verify/GenuinePhoto.h"

namespace quorvel {

// The JSON objects the programs print or answer. Keys keep the order in
// which they are documented.
using JsonObject = nlohmann::ordered_json;

// The "reason" object: rule, measured, limit, text, text_en (null where a
// value does not apply).
JsonObject ReasonJson(const Explanation& reason);

// The outcome of a verification without the file's name: whether the bytes
// end with the pass marker, whether they are genuine, each failed check as a
// sentence ("problems") and as structured values ("checks": rule, measured,
// limit, text, text_en, passed); with everyCheck "checks" holds the passed
// ones too. "error" only when the bytes could not be checked.
JsonObject VerificationJson(const GenuineCheck& check, bool everyCheck);

// One compact line without its line end. Bytes that are not UTF-8 (a file
// name in another encoding) are shown as U+FFFD.
std::string JsonLine(const JsonObject& object);

}  // namespace quorvel
