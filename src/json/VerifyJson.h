#pragma once

#include "core/verify/GenuinePhoto.h"
#include "json/Json.h"
#include "json/ReasonJson.h"

namespace quorvel {

// The outcome of a verification without the file's name: whether the bytes
// end with the pass marker, whether they are genuine, each failed check as a
// sentence ("problems") and as structured values ("checks": rule, measured,
// limit, text, text_en, passed); with everyCheck "checks" holds the passed
// ones too. "error" only when the bytes could not be checked.
JsonObject VerificationJson(const GenuineCheck& check, bool everyCheck);

}  // namespace quorvel
