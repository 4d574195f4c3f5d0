#include "core/explain/Explanation.h"

#include "core/io/ImageHeader.h"
#include "core/rules/Rules.h"

namespace quorvel {

namespace {

using Numbers = std::vector<std::pair<std::string, double>>;

Quantity Amount(double value, std::string unit) { return Quantity{{{"value", value}}, {}, unit}; }

Quantity Range(Numbers numbers, std::string unit) { return Quantity{std::move(numbers), {}, unit}; }

Quantity SizeOf(cv::Size size) {
    return Quantity{{{"width", size.width}, {"height", size.height}}, {}, "px"};
}

// "12.3%" from a share of 0.123.
std::string Percent(double share) { return FormatNumber(share * 100, 1) + "%"; }

// A limit as written in sentences: a share as a whole percentage.
std::string WholePercent(double share) { return FormatNumber(share * 100, 0); }

std::string KiloBytes(std::uintmax_t bytes) {
    return FormatNumber(static_cast<double>(bytes) / 1024, 1);
}

std::string SizeText(int width, int height, const char* times) {
    return std::to_string(width) + times + std::to_string(height);
}

const rules::SizeModeParams& ModeOrFirst(SizeMode mode) {
    return mode == SizeMode::Mode2 ? rules::kMode2 : rules::kMode1;
}

Explanation Make(const char* rule, std::string text, std::string textEn, std::string advice,
                 std::string adviceEn) {
    Explanation e;
    e.rule = rule;
    e.text = std::move(text);
    e.textEn = std::move(textEn);
    e.advice = std::move(advice);
    e.adviceEn = std::move(adviceEn);
    return e;
}

const std::string kRetakePlainZh = "请在纯白、纯红或纯蓝的墙前重新拍摄";
const std::string kRetakePlainEn = "retake in front of a plain white, red or blue wall";

}  // namespace

std::string ColourNameZh(BackgroundColor colour) { return NamesOf(colour).zh; }

std::string ColourNameEn(BackgroundColor colour) { return NamesOf(colour).en; }

Explanation ExplainFileLength(std::uintmax_t length) {
    const std::string minimum = FormatNumber(static_cast<double>(rules::kMinFileLength) / 1024, 0);
    Explanation e =
        Make(rule_id::kFileLength, "文件 " + KiloBytes(length) + " KB，要求至少 " + minimum + " KB",
             "file " + KiloBytes(length) + " KB, at least " + minimum + " KB",
             "请使用相机原图，不要压缩照片", "use the camera's original, uncompressed photo");
    e.measured = Amount(static_cast<double>(length), "B");
    e.limit = Range({{"min", static_cast<double>(rules::kMinFileLength)}}, "B");
    return e;
}

Explanation ExplainPhotoSize(cv::Size size, SizeMode mode) {
    const rules::SizeModeParams& params = ModeOrFirst(mode);
    const int minW = params.minPhotoWidth;
    const int minH = params.minPhotoHeight;
    Explanation e = Make(rule_id::kPhotoSize,
                         "照片 " + SizeText(size.width, size.height, "×") + " 像素，要求至少 " +
                             SizeText(minW, minH, "×"),
                         "photo " + SizeText(size.width, size.height, " × ") +
                             " pixels, at least " + SizeText(minW, minH, " × "),
                         "请使用分辨率更高的照片", "use a photo with more pixels");
    e.measured = SizeOf(size);
    e.limit = Range({{"min_width", minW}, {"min_height", minH}}, "px");
    return e;
}

Explanation ExplainBackgroundColour(const Hsv& hsv) {
    Explanation e =
        Make(rule_id::kBackgroundColour, "背景颜色不是红、蓝、白色之一",
             "background colour is not red, blue or white", kRetakePlainZh, kRetakePlainEn);
    Quantity measured;
    if (hsv.hueDefined) measured.numbers.emplace_back("hue", hsv.hue);
    measured.numbers.emplace_back("saturation", hsv.saturation);
    measured.numbers.emplace_back("value", hsv.value);
    measured.unit = "hsv";
    e.measured = measured;
    e.limit = Quantity{{{"dark_value_below", rules::kDarkValueBelow},
                        {"white_min_value", rules::kWhiteMinValue},
                        {"white_max_saturation", rules::kWhiteMaxSaturation},
                        {"red_hue_from", rules::kRedHueFrom},
                        {"red_hue_below", rules::kRedHueBelow},
                        {"blue_hue_from", rules::kBlueHueFrom},
                        {"blue_hue_to", rules::kBlueHueTo}},
                       {},
                       "hsv"};
    return e;
}

Explanation ExplainBackgroundSetting(BackgroundColor found, BackgroundColor setting) {
    const int number = static_cast<int>(setting);
    const bool acceptsNone = number < 0 || number > 3;
    Explanation e =
        acceptsNone
            ? Make(rule_id::kBackgroundSetting,
                   "背景为" + ColourNameZh(found) + "，颜色设置 " + std::to_string(number) +
                       " 不接受任何颜色",
                   "background is " + ColourNameEn(found) + "; colour setting " +
                       std::to_string(number) + " accepts none",
                   "请让管理员检查颜色设置", "ask the administrator to check the colour setting")
            : Make(rule_id::kBackgroundSetting,
                   "背景为" + ColourNameZh(found) + "，设置只接受" + ColourNameZh(setting),
                   "background is " + ColourNameEn(found) + "; only " + ColourNameEn(setting) +
                       " is accepted",
                   "请在" + ColourNameZh(setting) + "背景前重新拍摄",
                   "retake in front of a plain " + ColourNameEn(setting) + " wall");
    e.measured = Quantity{{}, {{"colour", ColourNameEn(found)}}, ""};
    e.limit = Quantity{
        {{"setting", number}}, {{"colour", acceptsNone ? "none" : ColourNameEn(setting)}}, ""};
    return e;
}

Explanation ExplainCoverage(BackgroundColor found, double coverage) {
    const std::string limit = WholePercent(rules::kMinCoverageAbove);
    Explanation e = Make(
        rule_id::kBackgroundCoverage,
        "背景" + ColourNameZh(found) + "覆盖 " + Percent(coverage) + "，要求超过 " + limit + "%",
        ColourNameEn(found) + " background covers " + Percent(coverage) + ", more than " + limit +
            "% needed",
        kRetakePlainZh + "，人与墙之间留出空间", kRetakePlainEn + ", with space around the person");
    e.measured = Amount(coverage * 100, "%");
    e.limit = Range({{"above", rules::kMinCoverageAbove * 100}}, "%");
    return e;
}

Explanation ExplainFaceCount(std::size_t count) {
    const std::string allowed = "1 或 " + std::to_string(rules::kMaxFaces);
    const std::string allowedEn = "1 or " + std::to_string(rules::kMaxFaces);
    Explanation e =
        count == 0 ? Make(rule_id::kNoFace, "未找到人脸", "no face found",
                          "请正对镜头，露出整张脸，在纯色墙前重新拍摄",
                          "face the camera, show the whole face, against a plain wall")
                   : Make(rule_id::kFaceCount,
                          "找到 " + std::to_string(count) + " 张人脸，要求 " + allowed + " 张",
                          std::to_string(count) + " faces found, " + allowedEn + " allowed",
                          "请单独拍摄，画面中只有一个人", "take the photo alone, one person in it");
    e.measured = Amount(static_cast<double>(count), "faces");
    e.limit = Range({{"min", 1}, {"max", static_cast<double>(rules::kMaxFaces)}}, "faces");
    return e;
}

Explanation ExplainFaceShare(double share) {
    const std::string range =
        WholePercent(rules::kMinFaceShare) + "%–" + WholePercent(rules::kMaxFaceShare) + "%";
    const bool small = share < rules::kMinFaceShare;
    Explanation e =
        Make(rule_id::kFaceShare, "人脸宽度占照片 " + Percent(share) + "，要求 " + range,
             "face width " + Percent(share) + " of the photo, " + range + " needed",
             small ? "请离镜头近一些" : "请离镜头远一些",
             small ? "move closer to the camera" : "move further from the camera");
    e.measured = Amount(share * 100, "%");
    e.limit =
        Range({{"min", rules::kMinFaceShare * 100}, {"max", rules::kMaxFaceShare * 100}}, "%");
    return e;
}

Explanation ExplainSizeSetting(int setting) {
    Explanation e = Make(
        rule_id::kSizeSetting,
        "尺寸设置 " + std::to_string(setting) + " 无效，应为 " + ListValues(kSizeValues, "或"),
        "size setting " + std::to_string(setting) + " is not valid, " + ListValues(kSizeValues),
        "请让管理员检查尺寸设置", "ask the administrator to check the size setting");
    e.measured = Quantity{{{"setting", setting}}, {}, ""};
    e.limit = Range({{"min", kSizeValues.least}, {"max", kSizeValues.most}}, "");
    return e;
}

Explanation ExplainHeadTop() {
    return Make(rule_id::kHeadTop, "找不到头顶", "head top not found",
                "请在纯色墙前重新拍摄，头顶上方留出空间",
                "retake against a plain wall with space above the head");
}

namespace {

enum class FrameMiss { None, Top, Bottom, Enlarge, Side };

FrameMiss MainMiss(const FrameMisses& misses) {
    FrameMiss main = FrameMiss::None;
    int most = 0;
    for (const auto& [miss, count] :
         {std::pair{FrameMiss::Top, misses.top}, std::pair{FrameMiss::Bottom, misses.bottom},
          std::pair{FrameMiss::Enlarge, misses.enlarge}, std::pair{FrameMiss::Side, misses.side}}) {
        if (count > most) {
            main = miss;
            most = count;
        }
    }
    return main;
}

}  // namespace

Explanation ExplainCropFrame(int trials, const FrameMisses& misses) {
    Explanation e;
    switch (MainMiss(misses)) {
        case FrameMiss::Top:
            e = Make(rule_id::kCropFrame, "裁剪框超出照片上边：头顶上方留的空间不够",
                     "the crop frame reaches past the top edge: too little room above the head",
                     "请使用头顶上方留有更多背景的照片，不要裁掉头顶上方的背景",
                     "use a photo with more room above the head; do not crop it away");
            break;
        case FrameMiss::Bottom:
            e = Make(rule_id::kCropFrame, "裁剪框超出照片下边：下巴以下拍到的部分不够",
                     "the crop frame reaches past the bottom edge: too little photo below the chin",
                     "请使用下巴以下拍得更多（露出肩部）的照片",
                     "use a photo that shows more below the chin, down to the shoulders");
            break;
        case FrameMiss::Enlarge:
            e = Make(rule_id::kCropFrame, "裁剪框太小：需要放大过多",
                     "the crop frame is too small: it would need enlarging too much",
                     "请使用像素更多的照片", "use a photo with more pixels");
            break;
        case FrameMiss::Side:
            e = Make(rule_id::kCropFrame, "裁剪框超出照片左右两边：头部两侧留的空间不够",
                     "the crop frame reaches past the sides: too little room beside the head",
                     "请让头部位于照片中央，两侧留出更多背景",
                     "centre the head and leave more background beside it");
            break;
        case FrameMiss::None:
            e = Make(rule_id::kCropFrame, "没有能放进照片的裁剪框",
                     "no crop frame fits inside the photo",
                     "请让头部位于照片中央，四周留出更多背景",
                     "centre the head and leave more background around it");
            break;
    }
    e.measured = Quantity{{{"trials", trials},
                           {"past_top", misses.top},
                           {"past_bottom", misses.bottom},
                           {"past_side", misses.side},
                           {"enlarge", misses.enlarge}},
                          {},
                          ""};
    return e;
}

Explanation ExplainUnreadable() {
    return Make(rule_id::kUnreadable, "文件无法读取或不是图片",
                "the file cannot be read or is not an image", "请选择 JPEG、PNG 或 BMP 照片",
                "choose a JPEG, PNG or BMP photo");
}

Explanation ExplainClaimedSize(ClaimedSize claimed) {
    const std::string cap = std::to_string(rules::kMaxPhotoPixels / 1000000);
    const std::string width = std::to_string(claimed.width);
    const std::string height = std::to_string(claimed.height);
    Explanation e =
        Make(rule_id::kPixelCap,
             "文件声称 " + width + "×" + height + " 像素，超过上限 " + cap + " 百万像素，未解码",
             "the file claims " + width + " × " + height + " pixels, more than the " + cap +
                 " megapixels decoded",
             "请换一张照片", "choose another photo");
    e.measured = Quantity{{{"width", static_cast<double>(claimed.width)},
                           {"height", static_cast<double>(claimed.height)}},
                          {},
                          "px"};
    e.limit = Quantity{{{"max", static_cast<double>(rules::kMaxPhotoPixels)}}, {}, "px"};
    return e;
}

Explanation ExplainAuditFailed(const std::string& error) {
    Explanation e =
        Make(rule_id::kAuditFailed, "照片无法处理", "the photo cannot be processed (" + error + ")",
             "请换一张照片，或转换为 JPEG 后重试", "try another photo, or convert it to JPEG");
    return e;
}

Explanation ExplainPassed(cv::Size output, SizeMode mode) {
    const rules::SizeModeParams& params = ModeOrFirst(mode);
    Explanation e = Make(
        rule_id::kPassed, "审核通过，输出 " + SizeText(output.width, output.height, "×") + " 像素",
        "passed; output " + SizeText(output.width, output.height, " × ") + " pixels",
        "可以保存并上传", "save it and upload it");
    e.output = output;
    e.measured = SizeOf(output);
    e.limit = Range({{"min_width", params.narrowWidth}, {"max_width", params.wideWidth}}, "px");
    return e;
}

namespace {

Explanation ExplainBackground(const AuditTrace& trace, const Settings& settings) {
    if (!trace.background || !trace.background->backgroundClass) {
        return ExplainBackgroundColour(trace.background ? trace.background->hsv : Hsv{});
    }
    const BackgroundTrace& background = *trace.background;
    if (!background.fills) {
        return ExplainBackgroundSetting(*background.backgroundClass, settings.color);
    }
    return ExplainCoverage(*background.backgroundClass, background.fills->coverage);
}

Explanation ExplainTooSmall(const AuditTrace& trace, const Settings& settings) {
    if (trace.fileLength && *trace.fileLength < rules::kMinFileLength) {
        return ExplainFileLength(*trace.fileLength);
    }
    return ExplainPhotoSize(trace.photoSize.value_or(cv::Size()), settings.size);
}

Explanation ExplainProportion(const AuditReport& report, const AuditTrace& trace,
                              const Settings& settings) {
    const int mode = static_cast<int>(settings.size);
    if (mode != 1 && mode != 2) return ExplainSizeSetting(mode);
    if (report.face && trace.photoSize && trace.photoSize->width > 0) {
        const double share = static_cast<double>(report.face->width) / trace.photoSize->width;
        if (share < rules::kMinFaceShare || share > rules::kMaxFaceShare) {
            return ExplainFaceShare(share);
        }
    }
    if (trace.crop && !trace.crop->headTopRow) return ExplainHeadTop();
    if (!trace.crop || !trace.crop->search) return ExplainCropFrame(0);
    return ExplainCropFrame(trace.crop->search->trials, trace.crop->search->misses);
}

}  // namespace

Explanation ExplainAudit(const AuditReport& report, const Settings& settings) {
    const AuditTrace trace = report.trace.value_or(AuditTrace{});
    switch (report.verdict) {
        case Verdict::Passed:
            return ExplainPassed(report.processedPhoto.size(), settings.size);
        case Verdict::TooSmall:
            return ExplainTooSmall(trace, settings);
        case Verdict::BadBackground:
            return ExplainBackground(trace, settings);
        case Verdict::NoFace:
            return ExplainFaceCount(trace.faces ? trace.faces->size() : 0);
        case Verdict::BadProportion:
            return ExplainProportion(report, trace, settings);
        case Verdict::BadFormat:
        case Verdict::Initial:
            break;
    }
    if (trace.claimedSize) return ExplainClaimedSize(*trace.claimedSize);
    if (trace.refusedCost) return ExplainDecodingCost(*trace.refusedCost);
    if (report.failure && AuditBroke(*report.failure)) {
        return ExplainAuditFailed(report.failure->message);
    }
    return ExplainUnreadable();
}

}  // namespace quorvel
