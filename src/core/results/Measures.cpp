#include "core/results/Measures.h"

#include <cmath>
#include <cstdint>
#include <type_traits>

namespace quorvel {

namespace {

using Value = std::optional<MeasureValue>;
using enum MeasureKind;
using enum Absence;
using MeasureUnit::Pixels;

// ---- Values -------------------------------------------------------------

MeasureValue One(double number) { return MeasureValue{{number}, {}}; }
MeasureValue TruthOf(bool truth) { return MeasureValue{{}, {}, truth}; }
MeasureValue WordOf(std::string word) { return MeasureValue{{}, std::move(word)}; }

MeasureValue RectsValue(const std::vector<cv::Rect>& rects) {
    MeasureValue value;
    for (const cv::Rect& r : rects)
        value.numbers.insert(value.numbers.end(),
                             {1.0 * r.x, 1.0 * r.y, 1.0 * r.width, 1.0 * r.height});
    return value;
}
MeasureValue RectValue(const cv::Rect& rect) { return RectsValue({rect}); }

std::vector<cv::Rect> RectsOf(const MeasureValue& value) {
    std::vector<cv::Rect> rects;
    const std::vector<double>& n = value.numbers;
    for (std::size_t i = 0; i + 3 < n.size(); i += 4) {
        rects.emplace_back(static_cast<int>(n[i]), static_cast<int>(n[i + 1]),
                           static_cast<int>(n[i + 2]), static_cast<int>(n[i + 3]));
    }
    return rects;
}
std::optional<cv::Rect> RectOf(const MeasureValue& value) {
    if (value.numbers.size() != 4) return std::nullopt;
    return RectsOf(value).front();
}

int Int(const MeasureValue& value) { return static_cast<int>(value.numbers.at(0)); }

template <class T>
Value Maybe(const std::optional<T>& number) {
    return number ? Value(One(static_cast<double>(*number))) : std::nullopt;
}

// ---- Where the values are -------------------------------------------------

AuditTrace& TraceOf(AuditReport& report) { return *report.trace; }
const AuditTrace& TraceOf(const AuditReport& report) { return *report.trace; }
const BackgroundTrace& Bg(const AuditReport& report) { return *report.trace->background; }
BackgroundTrace& Bg(AuditReport& report) { return *report.trace->background; }
const CropTrace& Crop(const AuditReport& report) { return *report.trace->crop; }

// The frame search, once it ran; its accepted frame and the cut of it.
const FrameSearch* Search(const AuditReport& report) {
    const CropTrace& crop = Crop(report);
    return crop.search ? &*crop.search : nullptr;
}
bool Accepted(const AuditReport& report) {
    const FrameSearch* search = Search(report);
    return search != nullptr && search->accepted && Crop(report).extraction;
}
FrameSearch* SearchToWrite(AuditReport& report) {
    std::optional<FrameSearch>& search = report.trace->crop->search;
    return search ? &*search : nullptr;
}
ExtractionPlan& CutToWrite(AuditReport& report) {
    std::optional<ExtractionPlan>& cut = report.trace->crop->extraction;
    return cut ? *cut : cut.emplace();
}

// A number of the accepted frame search (`Field` of the search, or of its
// frame), nothing before a frame is accepted; and back.
template <auto Field>
Value OfSearch(const AuditReport& report) {
    return Accepted(report) ? Value(One(Search(report)->*Field)) : std::nullopt;
}
template <auto Field>
void ToSearch(AuditReport& report, const MeasureValue& value) {
    if (FrameSearch* search = SearchToWrite(report)) {
        search->*Field =
            static_cast<std::remove_reference_t<decltype(search->*Field)>>(value.numbers.at(0));
    }
}
template <auto Field>
Value OfFrame(const AuditReport& report) {
    return Accepted(report) ? Value(One(Search(report)->frame.*Field)) : std::nullopt;
}
template <auto Field>
void ToFrame(AuditReport& report, const MeasureValue& value) {
    if (FrameSearch* search = SearchToWrite(report)) search->frame.*Field = Int(value);
}
template <auto Field>
Value OfCut(const AuditReport& report) {
    return Accepted(report) ? Value(One((*Crop(report).extraction).*Field)) : std::nullopt;
}
template <auto Field>
void ToCut(AuditReport& report, const MeasureValue& value) {
    CutToWrite(report).*Field = Int(value);
}

// ---- The stages -------------------------------------------------------------

// Every line's values, loose in the line.
const MeasureStage kLine{nullptr, [](const AuditReport&) { return true; }, [](AuditReport&) {}};
// The values loose in the trace: the detector's faces and the file's length.
const MeasureStage kLoose{nullptr, [](const AuditReport& r) { return r.trace.has_value(); },
                          [](AuditReport&) {}};
const MeasureStage kPhoto{
    "photo", [](const AuditReport& r) { return r.trace && r.trace->photoSize.has_value(); },
    [](AuditReport& r) { TraceOf(r).photoSize.emplace(); }};
const MeasureStage kBackground{
    "background", [](const AuditReport& r) { return r.trace && r.trace->background.has_value(); },
    [](AuditReport& r) { TraceOf(r).background.emplace(); }};
const MeasureStage kCrop{"crop",
                         [](const AuditReport& r) { return r.trace && r.trace->crop.has_value(); },
                         [](AuditReport& r) { TraceOf(r).crop.emplace(); }};

// ---- The declarations -------------------------------------------------------

const Measure kLineMeasures[] = {
    {"face", &kLine, Integers, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) { return r.face ? Value(RectValue(*r.face)) : std::nullopt; },
     [](AuditReport& r, const MeasureValue& v) { r.face = RectOf(v); }},
    {"faces", &kLine, Rects, Pixels, 0, Omitted, nullptr,
     [](const AuditReport& r) {
         return r.marks.faces.empty() ? std::nullopt : Value(RectsValue(r.marks.faces));
     },
     [](AuditReport& r, const MeasureValue& v) { r.marks.faces = RectsOf(v); }},
    {"head_top_row", &kLine, Integer, Pixels, 0, Omitted, nullptr,
     [](const AuditReport& r) { return Maybe(r.marks.headTopRow); },
     [](AuditReport& r, const MeasureValue& v) { r.marks.headTopRow = Int(v); }},
    {"crop_frame", &kLine, Integers, Pixels, 0, Omitted, nullptr,
     [](const AuditReport& r) {
         return r.marks.cropFrame ? Value(RectValue(*r.marks.cropFrame)) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) { r.marks.cropFrame = RectOf(v); }},
};

const Measure kTraceMeasures[] = {
    {"width", &kPhoto, Integer, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) { return Value(One(TraceOf(r).photoSize->width)); },
     [](AuditReport& r, const MeasureValue& v) { TraceOf(r).photoSize->width = Int(v); }},
    {"height", &kPhoto, Integer, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) { return Value(One(TraceOf(r).photoSize->height)); },
     [](AuditReport& r, const MeasureValue& v) { TraceOf(r).photoSize->height = Int(v); }},
    // The detector's faces, in its order.
    {"faces", &kLoose, Rects, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) {
         return Value(RectsValue(TraceOf(r).faces.value_or(std::vector<cv::Rect>{})));
     },
     [](AuditReport& r, const MeasureValue& v) {
         if (!v.numbers.empty()) TraceOf(r).faces = RectsOf(v);
     }},
    // The file's length, once a face was chosen and the file was read.
    {"file_length", &kLoose, Integer, MeasureUnit::Bytes, 0, Null, nullptr,
     [](const AuditReport& r) { return Maybe(TraceOf(r).fileLength); },
     [](AuditReport& r, const MeasureValue& v) {
         if (v.numbers.at(0) >= 0)
             TraceOf(r).fileLength = static_cast<std::uintmax_t>(v.numbers[0]);
     }},
    // The background: whether the setting accepted its colour class, the
    // class, the mean sample and its HSV, then the fills from the sample row
    // (only once the colour is accepted).
    {"accepted_colour", &kBackground, Truth, MeasureUnit::None, 0, Null, nullptr,
     [](const AuditReport& r) { return Value(TruthOf(Bg(r).fills.has_value())); }, nullptr},
    {"class", &kBackground, Integer, MeasureUnit::None, 3, Null, nullptr,
     [](const AuditReport& r) {
         const auto found = Bg(r).backgroundClass;
         return found ? Value(One(static_cast<int>(*found))) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) {
         for (const BackgroundColor colour : kBackgroundClasses) {
             if (Int(v) == static_cast<int>(colour)) Bg(r).backgroundClass = colour;
         }
     }},
    {"class_name", &kBackground, Word, MeasureUnit::None, 0, Null, nullptr,
     [](const AuditReport& r) {
         const auto found = Bg(r).backgroundClass;
         return found ? Value(WordOf(NamesOf(*found).code)) : std::nullopt;
     },
     nullptr},
    {"sample_rgb", &kBackground, Integers, MeasureUnit::None, 3, Null, nullptr,
     [](const AuditReport& r) {
         const cv::Vec3b rgb = Bg(r).sampleRgb;
         return Value(MeasureValue{{1.0 * rgb[0], 1.0 * rgb[1], 1.0 * rgb[2]}, {}});
     },
     [](AuditReport& r, const MeasureValue& v) {
         for (std::size_t i = 0; i < 3 && i < v.numbers.size(); ++i) {
             Bg(r).sampleRgb[static_cast<int>(i)] = static_cast<unsigned char>(v.numbers[i]);
         }
     }},
    {"hsv.hue", &kBackground, Number, MeasureUnit::Degrees, 1, Null, nullptr,
     [](const AuditReport& r) {
         return Bg(r).hsv.hueDefined ? Value(One(Bg(r).hsv.hue)) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) {
         Bg(r).hsv.hue = v.numbers.at(0);
         Bg(r).hsv.hueDefined = true;
     }},
    {"hsv.saturation", &kBackground, Number, MeasureUnit::None, 2, Null, nullptr,
     [](const AuditReport& r) { return Value(One(Bg(r).hsv.saturation)); },
     [](AuditReport& r, const MeasureValue& v) { Bg(r).hsv.saturation = v.numbers.at(0); }},
    {"hsv.value", &kBackground, Number, MeasureUnit::None, 2, Null, nullptr,
     [](const AuditReport& r) { return Value(One(Bg(r).hsv.value)); },
     [](AuditReport& r, const MeasureValue& v) { Bg(r).hsv.value = v.numbers.at(0); }},
    {"areas", &kBackground, Integers, MeasureUnit::SquarePixels, 0, Null, nullptr,
     [](const AuditReport& r) {
         if (!Bg(r).fills) return Value();
         const auto& a = Bg(r).fills->areas;
         return Value(MeasureValue{{1.0 * a[0], 1.0 * a[1], 1.0 * a[2]}, {}});
     },
     [](AuditReport& r, const MeasureValue& v) {
         if (v.numbers.size() != 3) return;
         BackgroundFills& fills = Bg(r).fills.emplace();
         for (std::size_t i = 0; i < 3; ++i)
             fills.areas[i] = static_cast<std::int64_t>(v.numbers[i]);
     }},
    {"mean_area", &kBackground, Integer, MeasureUnit::SquarePixels, 0, Null, nullptr,
     [](const AuditReport& r) {
         return Bg(r).fills ? Value(One(static_cast<double>(Bg(r).fills->meanArea))) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) {
         if (Bg(r).fills && v.numbers.at(0) >= 0) {
             Bg(r).fills->meanArea = static_cast<std::uint64_t>(v.numbers[0]);
         }
     }},
    {"coverage", &kBackground, Number, MeasureUnit::Share, 1, Null, nullptr,
     [](const AuditReport& r) {
         return Bg(r).fills ? Value(One(Bg(r).fills->coverage)) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) {
         if (Bg(r).fills) Bg(r).fills->coverage = v.numbers.at(0);
     }},
    // The crop: the head top, the frame search and the cut of its frame.
    {"head_top_row", &kCrop, Integer, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) { return Maybe(Crop(r).headTopRow); },
     [](AuditReport& r, const MeasureValue& v) { TraceOf(r).crop->headTopRow = Int(v); }},
    {"head_room", &kCrop, Integer, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) {
         return Search(r) ? Value(One(Search(r)->headRoom)) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) {
         TraceOf(r).crop->search.emplace().headRoom = Int(v);  // the search ran
     }},
    {"trials", &kCrop, Integer, MeasureUnit::None, 3, Null, nullptr,
     [](const AuditReport& r) { return Value(One(Search(r) ? Search(r)->trials : 0)); },
     ToSearch<&FrameSearch::trials>},
    {"accepted", &kCrop, Truth, MeasureUnit::None, 0, Null, nullptr,
     [](const AuditReport& r) { return Value(TruthOf(Accepted(r))); },
     [](AuditReport& r, const MeasureValue& v) {
         if (FrameSearch* search = SearchToWrite(r)) search->accepted = v.truth;
     }},
    {"pass", &kCrop, Word, MeasureUnit::None, 0, Null, nullptr,
     [](const AuditReport& r) {
         return Accepted(r) ? Value(WordOf(std::string(1, Search(r)->pass))) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) {
         if (FrameSearch* search = SearchToWrite(r); search && !v.word.empty()) {
             search->pass = v.word.front();
         }
     }},
    // The accepted trial's head-room factor, its frame's spread, the least
    // spread that keeps the head in the frame, and the scale to the output
    // width: named since the letters k, s, u and t.
    {"head_room_factor", &kCrop, Number, MeasureUnit::None, 3, Omitted, "k",
     OfSearch<&FrameSearch::headRoomFactor>, ToSearch<&FrameSearch::headRoomFactor>},
    {"spread", &kCrop, Number, MeasureUnit::None, 3, Omitted, "s", OfSearch<&FrameSearch::spread>,
     ToSearch<&FrameSearch::spread>},
    {"least_spread", &kCrop, Number, MeasureUnit::None, 3, Omitted, "u",
     OfSearch<&FrameSearch::minimumSpread>, ToSearch<&FrameSearch::minimumSpread>},
    {"scale", &kCrop, Number, MeasureUnit::None, 3, Omitted, "t", OfSearch<&FrameSearch::scale>,
     ToSearch<&FrameSearch::scale>},
    {"frame.left", &kCrop, Integer, Pixels, 0, Null, nullptr, OfFrame<&CandidateFrame::left>,
     ToFrame<&CandidateFrame::left>},
    {"frame.top", &kCrop, Integer, Pixels, 0, Null, nullptr, OfFrame<&CandidateFrame::top>,
     ToFrame<&CandidateFrame::top>},
    {"frame.right", &kCrop, Integer, Pixels, 0, Null, nullptr, OfFrame<&CandidateFrame::right>,
     ToFrame<&CandidateFrame::right>},
    {"frame.width", &kCrop, Integer, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) {
         return Accepted(r) ? Value(One(Search(r)->frame.width())) : std::nullopt;
     },
     nullptr},
    {"output_width", &kCrop, Integer, Pixels, 0, Null, nullptr, OfSearch<&FrameSearch::outputWidth>,
     ToSearch<&FrameSearch::outputWidth>},
    {"scaled.width", &kCrop, Integer, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) {
         return Accepted(r) ? Value(One(Crop(r).extraction->scaled.width)) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) { CutToWrite(r).scaled.width = Int(v); }},
    {"scaled.height", &kCrop, Integer, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) {
         return Accepted(r) ? Value(One(Crop(r).extraction->scaled.height)) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) { CutToWrite(r).scaled.height = Int(v); }},
    {"extraction", &kCrop, Integers, Pixels, 0, Null, nullptr,
     [](const AuditReport& r) {
         return Accepted(r) ? Value(RectValue(Crop(r).extraction->rect)) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) {
         if (const std::optional<cv::Rect> rect = RectOf(v)) CutToWrite(r).rect = *rect;
     }},
    {"padding.columns", &kCrop, Integer, Pixels, 0, Null, nullptr,
     OfCut<&ExtractionPlan::padColumns>, ToCut<&ExtractionPlan::padColumns>},
    {"padding.rows", &kCrop, Integer, Pixels, 0, Null, nullptr, OfCut<&ExtractionPlan::padRows>,
     ToCut<&ExtractionPlan::padRows>},
    // A passed photo's clarity (tenths kept as a figure with one decimal),
    // when its face is large enough to be measured.
    {"clarity", &kLoose, Number, MeasureUnit::None, 1, Omitted, nullptr,
     [](const AuditReport& r) {
         const auto tenths = TraceOf(r).clarity;
         return tenths ? Value(One(*tenths / 10.0)) : std::nullopt;
     },
     [](AuditReport& r, const MeasureValue& v) {
         TraceOf(r).clarity = static_cast<int>(std::lround(v.numbers.at(0) * 10));
     }},
};

}  // namespace

std::span<const Measure> LineMeasures() { return kLineMeasures; }

std::span<const Measure> TraceMeasures() { return kTraceMeasures; }

std::string MeasureLabel(const Measure& measure) {
    return measure.stage->key != nullptr ? std::string(measure.stage->key) + "." + measure.key
                                         : std::string(measure.key);
}

}  // namespace quorvel
