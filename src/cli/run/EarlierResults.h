#pragma once

#include <nlohmann/json.hpp>

#include "report/ReportEntry.h"

namespace quorvel::cli {

// What became of a photo of an earlier run, rebuilt from its results line
// (for the report of a run with --resume): the verdict, the chosen face, the
// reason with its quantities, the saved file, the error and, when the line
// holds one, the trace. Values a line lacks stay empty.
report::PhotoOutcome OutcomeOfLine(const nlohmann::json& line);

// The trace of a results line's "trace" object.
AuditTrace TraceOfJson(const nlohmann::json& trace);

}  // namespace quorvel::cli
