#pragma once

#include <optional>

#include "core/config/Settings.h"
#include "core/results/PhotoOutcome.h"
#include "json/Json.h"

namespace quorvel {

// The results line of an audited photo, written and read here only, its
// measured values from their declarations (core/results/Measures.h).
//
// A line holds "file", "state", "verdict", "face", "processed", "error"
// (only when there is one), "reason", "trace" (with --explain), "settings".
// Whatever is added since is appended by one rule: a new key goes after
// every key its object held before, in the order of its declaration, and
// only when it has a value (never null). A value renamed since keeps its
// former key in its place (null when absent) and appends its name.
//
// Appended so far: so that a report's card can be made from a line alone,
// `faces` (the detector's faces when none was chosen), `head_top_row`,
// `crop_frame` ([left, top, width, height] of the accepted frame); then
// `advice`, an advisory rule's finding in the shape of `reason`; in the
// trace's "crop" the names of the search's letters; then what the line says
// about its photo beside the audit (LineIdentity.h): `position`,
// `photo_length`, `photo_modified`, `file_bytes`, `warnings`, and in
// "processed" `path_bytes`.

// The line of one photo; the trace with `withTrace`, the settings it was
// audited with when given.
JsonObject AuditLineJson(const PhotoOutcome& outcome, bool withTrace,
                         const std::optional<Settings>& settings);

// What became of a photo as its line records it: the verdict, the face and
// what a card draws, the rule's decision with its sentences as recorded and
// its next step looked up, the saved file, the error and, when the line
// holds one, the trace; values a line lacks stay empty. A value renamed
// since is read by its name, else by its former key. Parsed keeping the
// order of its keys (JsonObject::parse), so that measured values and limits
// keep theirs.
PhotoOutcome AuditOutcomeOf(const JsonObject& line);

// The "settings" object: the colour and size settings a photo was audited
// with (also what --show-config prints).
JsonObject SettingsJson(const Settings& settings);

// The "trace" object of a report with a trace, and the trace such an object
// records.
JsonObject TraceJson(const AuditReport& report);
AuditTrace TraceOfJson(const JsonObject& trace);

}  // namespace quorvel
