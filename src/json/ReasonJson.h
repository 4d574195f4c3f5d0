#pragma once

#include <optional>

#include "core/explain/Explanation.h"
#include "json/Json.h"

namespace quorvel {

// The "reason" object, the shape of every rule's outcome (a line's reason
// and advice, a verification's checks): rule, measured, limit, text,
// text_en. Measured and limit are objects of named numbers and words with
// their "unit" (null where a value does not apply).
JsonObject ReasonJson(const Explanation& reason);

// The explanation such an object records: its rule with the measured value
// and limit, and the sentences. Nothing when it is not an object.
std::optional<Explanation> ReasonOf(const JsonObject& reason);

}  // namespace quorvel
