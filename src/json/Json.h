#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quorvel {

// The JSON objects the programs print or answer. Keys keep the order in
// which they are written, which is the order they are documented in.
using JsonObject = nlohmann::ordered_json;

// One compact line without its line end. Bytes that are not UTF-8 (a file
// name in another encoding) are shown as U+FFFD.
std::string JsonLine(const JsonObject& object);

}  // namespace quorvel
