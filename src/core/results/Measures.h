#pragma once

// The results' schema: every value an audit measures, declared once, with
// its key, how it is written, its unit and decimals for people, the stage of
// the audit that measures it and how it is absent. The JSON lines
// (src/json), the results read back for --resume and the report's rows
// (MeasuredValues) are made from these declarations; no other file spells a
// measure's key.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/audit/AuditReport.h"

namespace quorvel {

// How a value is written.
enum class MeasureKind {
    Integer,   // a whole number
    Number,    // a real number
    Truth,     // true or false
    Word,      // a text
    Integers,  // a list of whole numbers (a colour, a rectangle)
    Rects,     // a list of rectangles, each x, y, width, height; empty when none
};

// Its unit, for people. A share is kept as 0..1 and read as a percentage.
enum class MeasureUnit { None, Pixels, SquarePixels, Share, Degrees, Bytes };

// How the results show a value the audit did not measure (at a stage it
// reached): null, as every key of the first results; or left out, as every
// key added since, which is appended only when it has a value.
enum class Absence { Null, Omitted };

// A value as the results hold it: its numbers (one; a list; four for each
// rectangle), its word or its truth, by its kind.
struct MeasureValue {
    std::vector<double> numbers;
    std::string word;
    bool truth = false;
};

// A stage of the audit. Its values lie in one object of the results (`key`),
// which is null until the audit reaches the stage; a stage without a key has
// its values loose in the trace.
struct MeasureStage {
    const char* key;
    bool (*reached)(const AuditReport& report);
    void (*enter)(AuditReport& report);  // the results hold the stage
};

// One measured value.
struct Measure {
    const char* key;  // within its stage's object; '.' between levels ("frame.left")
    const MeasureStage* stage;
    MeasureKind kind;
    MeasureUnit unit;
    int decimals;  // digits after the point worth showing to people
    Absence absence;
    // The key of a value renamed since the first results (a letter): still
    // written in its place (null when absent) and read when the name is not.
    const char* formerKey;
    // The value from an audit's report, nothing when it was not measured; and
    // the value put back into a report from the results (none when it is
    // derived from another one).
    std::optional<MeasureValue> (*read)(const AuditReport& report);
    void (*write)(AuditReport& report, const MeasureValue& value);
};

// The values every line holds, in their order: the chosen face, and what a
// report's card draws over the photo (the detector's faces when none was
// chosen, the head top, the crop frame).
std::span<const Measure> LineMeasures();

// The values of the trace ("trace" of a line with --explain), in the order
// the results hold them.
std::span<const Measure> TraceMeasures();

// The key people read for a value: its stage's key and its own
// (crop.frame.left, file_length).
std::string MeasureLabel(const Measure& measure);

}  // namespace quorvel
