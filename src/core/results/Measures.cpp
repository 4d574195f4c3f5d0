#include "core/results/Measures.h"

#include <array>
#include <cstdint>

namespace quorvel {

namespace {

using Value = std::optional<MeasureValue>;
using enum MeasureKind;
using enum Absence;
using MeasureUnit::Pixels;

MeasureValue Numbers(std::vector<double> numbers) { return MeasureValue{std::move(numbers), {}}; }
MeasureValue One(double number) { return Numbers({number}); }
MeasureValue TruthOf(bool truth) { return MeasureValue{{}, {}, truth}; }
MeasureValue WordOf(std::string word) { return MeasureValue{{}, std::move(word)}; }
MeasureValue RectValue(const cv::Rect& r) {
    return Numbers({1.0 * r.x, 1.0 * r.y, 1.0 * r.width, 1.0 * r.height});
}

int Int(const MeasureValue& value) { return static_cast<int>(value.numbers.at(0)); }

const AuditTrace& TraceOf(const AuditReport& report) { return *report.trace; }
AuditTrace& TraceOf(AuditReport& report) { return *report.trace; }
const BackgroundTrace& Bg(const AuditReport& report) { return *report.trace->background; }
const CropTrace& Crop(const AuditReport& report) { return *report.trace->crop; }

// The frame search of a crop, when it ran; its accepted frame and cut.
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

// A value of the accepted frame search, nothing before a frame is accepted.
template <class Get>
Value OfAccepted(const AuditReport& report, Get get) {
    if (!Accepted(report)) return std::nullopt;
    return get(*Search(report), *Crop(report).extraction);
}

const MeasureStage kPhoto{
    "photo", [](const AuditReport& r) { return r.trace && r.trace->photoSize.has_value(); },
    [](AuditReport& r) { TraceOf(r).photoSize.emplace(); }};
// The values loose in the trace: the detector's faces and the file's length.
const MeasureStage kLoose{nullptr, [](const AuditReport& r) { return r.trace.has_value(); },
                          [](AuditReport&) {}};
const MeasureStage kBackground{
    "background", [](const AuditReport& r) { return r.trace && r.trace->background.has_value(); },
    [](AuditReport& r) { TraceOf(r).background.emplace(); }};
const MeasureStage kCrop{"crop",
                         [](const AuditReport& r) { return r.trace && r.trace->crop.has_value(); },
                         [](AuditReport& r) { TraceOf(r).crop.emplace(); }};

const Measure kTrace[] =
    {
        {"width", &kPhoto, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value { return One(TraceOf(r).photoSize->width); },
         [](AuditReport& r, const MeasureValue& v) { TraceOf(r).photoSize->width = Int(v); }},
        {"height", &kPhoto, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value { return One(TraceOf(r).photoSize->height); },
         [](AuditReport& r, const MeasureValue& v) { TraceOf(r).photoSize->height = Int(v); }},
        // The detector's faces, in its order.
        {"faces", &kLoose, Rects, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             MeasureValue faces;
             for (const cv::Rect& face : TraceOf(r).faces.value_or(std::vector<cv::Rect>{})) {
                 const MeasureValue rect = RectValue(face);
                 faces.numbers.insert(faces.numbers.end(), rect.numbers.begin(),
                                      rect.numbers.end());
             }
             return faces;
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (v.numbers.empty()) return;
             std::vector<cv::Rect>& faces = TraceOf(r).faces.emplace();
             for (std::size_t i = 0; i + 3 < v.numbers.size(); i += 4) {
                 faces.emplace_back(
                     static_cast<int>(v.numbers[i]), static_cast<int>(v.numbers[i + 1]),
                     static_cast<int>(v.numbers[i + 2]), static_cast<int>(v.numbers[i + 3]));
             }
         }},
        // The file's length, once a face was chosen and the file was read.
        {"file_length", &kLoose, Integer, MeasureUnit::Bytes, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             const auto length = TraceOf(r).fileLength;
             return length ? Value(One(static_cast<double>(*length))) : std::nullopt;
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (v.numbers.at(0) >= 0)
                 TraceOf(r).fileLength = static_cast<std::uintmax_t>(v.numbers[0]);
         }},
        // The background: whether the setting accepted its colour class, the
        // class, the mean sample and its HSV, the fills from the sample row.
        {"accepted_colour", &kBackground, Truth, MeasureUnit::None, 0, Null, nullptr,
         [](const AuditReport& r) -> Value { return TruthOf(Bg(r).fills.has_value()); }, nullptr},
        {"class", &kBackground, Integer, MeasureUnit::None, 3, Null, nullptr,
         [](const AuditReport& r) -> Value {
             const auto found = Bg(r).backgroundClass;
             return found ? Value(One(static_cast<int>(*found))) : std::nullopt;
         },
         [](AuditReport& r, const MeasureValue& v) {
             for (const BackgroundColor colour : kBackgroundClasses) {
                 if (v.numbers.at(0) == static_cast<int>(colour)) {
                     TraceOf(r).background->backgroundClass = colour;
                 }
             }
         }},
        {"class_name", &kBackground, Word, MeasureUnit::None, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             const auto found = Bg(r).backgroundClass;
             return found ? Value(WordOf(NamesOf(*found).code)) : std::nullopt;
         },
         nullptr},
        {"sample_rgb", &kBackground, Integers, MeasureUnit::None, 3, Null, nullptr,
         [](const AuditReport& r) -> Value {
             const cv::Vec3b rgb = Bg(r).sampleRgb;
             return Numbers({1.0 * rgb[0], 1.0 * rgb[1], 1.0 * rgb[2]});
         },
         [](AuditReport& r, const MeasureValue& v) {
             for (std::size_t i = 0; i < 3 && i < v.numbers.size(); ++i) {
                 TraceOf(r).background->sampleRgb[static_cast<int>(i)] =
                     static_cast<unsigned char>(v.numbers[i]);
             }
         }},
        {"hsv.hue", &kBackground, Number, MeasureUnit::Degrees, 1, Null, nullptr,
         [](const AuditReport& r) -> Value {
             const Hsv& hsv = Bg(r).hsv;
             return hsv.hueDefined ? Value(One(hsv.hue)) : std::nullopt;
         },
         [](AuditReport& r, const MeasureValue& v) {
             Hsv& hsv = TraceOf(r).background->hsv;
             hsv.hue = v.numbers.at(0);
             hsv.hueDefined = true;
         }},
        {"hsv.saturation", &kBackground, Number, MeasureUnit::None, 2, Null, nullptr,
         [](const AuditReport& r) -> Value { return One(Bg(r).hsv.saturation); },
         [](AuditReport& r, const MeasureValue& v) {
             TraceOf(r).background->hsv.saturation = v.numbers.at(0);
         }},
        {"hsv.value", &kBackground, Number, MeasureUnit::None, 2, Null, nullptr,
         [](const AuditReport& r) -> Value { return One(Bg(r).hsv.value); },
         [](AuditReport& r, const MeasureValue& v) {
             TraceOf(r).background->hsv.value = v.numbers.at(0);
         }},
        // The fills run only once the colour is accepted.
        {"areas", &kBackground, Integers, MeasureUnit::SquarePixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             if (!Bg(r).fills) return std::nullopt;
             const auto& areas = Bg(r).fills->areas;
             return Numbers({1.0 * areas[0], 1.0 * areas[1], 1.0 * areas[2]});
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (v.numbers.size() != 3) return;
             BackgroundFills& fills = TraceOf(r).background->fills.emplace();
             for (std::size_t i = 0; i < 3; ++i)
                 fills.areas[i] = static_cast<std::int64_t>(v.numbers[i]);
         }},
        {"mean_area", &kBackground, Integer, MeasureUnit::SquarePixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return Bg(r).fills ? Value(One(static_cast<double>(Bg(r).fills->meanArea)))
                                : std::nullopt;
         },
         [](AuditReport& r, const MeasureValue& v) {
             auto& fills = TraceOf(r).background->fills;
             if (fills && v.numbers.at(0) >= 0)
                 fills->meanArea = static_cast<std::uint64_t>(v.numbers[0]);
         }},
        {"coverage", &kBackground, Number, MeasureUnit::Share, 1, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return Bg(r).fills ? Value(One(Bg(r).fills->coverage)) : std::nullopt;
         },
         [](AuditReport& r, const MeasureValue& v) {
             auto& fills = TraceOf(r).background->fills;
             if (fills) fills->coverage = v.numbers.at(0);
         }},
        // The crop: the head top, the frame search and the cut of its frame.
        {"head_top_row", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             const auto row = Crop(r).headTopRow;
             return row ? Value(One(*row)) : std::nullopt;
         },
         [](AuditReport& r, const MeasureValue& v) { TraceOf(r).crop->headTopRow = Int(v); }},
        {"head_room", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return Search(r) ? Value(One(Search(r)->headRoom)) : std::nullopt;
         },
         [](AuditReport& r, const MeasureValue& v) {
             TraceOf(r).crop->search.emplace().headRoom = Int(v);  // the search ran
         }},
        {"trials", &kCrop, Integer, MeasureUnit::None, 3, Null, nullptr,
         [](const AuditReport& r) -> Value { return One(Search(r) ? Search(r)->trials : 0); },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->trials = Int(v);
         }},
        {"accepted", &kCrop, Truth, MeasureUnit::None, 0, Null, nullptr,
         [](const AuditReport& r) -> Value { return TruthOf(Accepted(r)); },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->accepted = v.truth;
         }},
        {"pass", &kCrop, Word, MeasureUnit::None, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(r, [](const FrameSearch& s, const ExtractionPlan&) {
                 return WordOf(std::string(1, s.pass));
             });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r); search && !v.word.empty())
                 search->pass = v.word.front();
         }},
        // The accepted trial's head-room factor, its frame's spread, the least
        // spread that keeps the head in the frame, and the scale to the output
        // width; named since their letters k, s, u and t.
        {"head_room_factor", &kCrop, Number, MeasureUnit::None, 3, Omitted, "k",
         [](const AuditReport& r) -> Value {
             return OfAccepted(r, [](const FrameSearch& s, const ExtractionPlan&) {
                 return One(s.headRoomFactor);
             });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->headRoomFactor = v.numbers.at(0);
         }},
        {"spread", &kCrop, Number, MeasureUnit::None, 3, Omitted, "s",
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch& s, const ExtractionPlan&) { return One(s.spread); });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->spread = v.numbers.at(0);
         }},
        {"least_spread", &kCrop, Number, MeasureUnit::None, 3, Omitted, "u",
         [](const AuditReport& r) -> Value {
             return OfAccepted(r, [](const FrameSearch& s, const ExtractionPlan&) {
                 return One(s.minimumSpread);
             });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->minimumSpread = v.numbers.at(0);
         }},
        {"scale", &kCrop, Number, MeasureUnit::None, 3, Omitted, "t",
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch& s, const ExtractionPlan&) { return One(s.scale); });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->scale = v.numbers.at(0);
         }},
        {"frame.left", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch& s, const ExtractionPlan&) { return One(s.frame.left); });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->frame.left = Int(v);
         }},
        {"frame.top", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch& s, const ExtractionPlan&) { return One(s.frame.top); });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->frame.top = Int(v);
         }},
        {"frame.right", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch& s, const ExtractionPlan&) { return One(s.frame.right); });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->frame.right = Int(v);
         }},
        {"frame.width", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(r, [](const FrameSearch& s, const ExtractionPlan&) {
                 return One(s.frame.width());
             });
         },
         nullptr},
        {"output_width", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch& s, const ExtractionPlan&) { return One(s.outputWidth); });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (FrameSearch* search = SearchToWrite(r)) search->outputWidth = Int(v);
         }},
        {"scaled.width", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(r, [](const FrameSearch&, const ExtractionPlan& p) {
                 return One(p.scaled.width);
             });
         },
         [](AuditReport& r, const MeasureValue& v) { CutToWrite(r).scaled.width = Int(v); }},
        {"scaled.height", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(r, [](const FrameSearch&, const ExtractionPlan& p) {
                 return One(p.scaled.height);
             });
         },
         [](AuditReport& r, const MeasureValue& v) { CutToWrite(r).scaled.height = Int(v); }},
        {"extraction", &kCrop, Integers, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch&, const ExtractionPlan& p) { return RectValue(p.rect); });
         },
         [](AuditReport& r, const MeasureValue& v) {
             if (v.numbers.size() != 4) return;
             CutToWrite(r).rect =
                 cv::Rect(static_cast<int>(v.numbers[0]), static_cast<int>(v.numbers[1]),
                          static_cast<int>(v.numbers[2]), static_cast<int>(v.numbers[3]));
         }},
        {"padding.columns", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch&, const ExtractionPlan& p) { return One(p.padColumns); });
         },
         [](AuditReport& r, const MeasureValue& v) { CutToWrite(r).padColumns = Int(v); }},
        {"padding.rows", &kCrop, Integer, Pixels, 0, Null, nullptr,
         [](const AuditReport& r) -> Value {
             return OfAccepted(
                 r, [](const FrameSearch&, const ExtractionPlan& p) { return One(p.padRows); });
         },
         [](AuditReport& r, const MeasureValue& v) { CutToWrite(r).padRows = Int(v); }},
};

}  // namespace

std::span<const Measure> TraceMeasures() { return kTrace; }

std::string MeasureLabel(const Measure& measure) {
    return measure.stage->key != nullptr ? std::string(measure.stage->key) + "." + measure.key
                                         : std::string(measure.key);
}

}  // namespace quorvel
