#include "core/explain/Explanation.h"

#include <cstdint>
#include <map>
#include <string_view>

#include "core/rules/Rules.h"

namespace quorvel {

namespace {

// A rule's sentences: what happened, in Chinese and English, and the next
// step in both.
struct Sentences {
    std::string text;
    std::string textEn;
    std::string advice;
    std::string adviceEn;
};

double Measured(const RuleDecision& d, const char* name) {
    return d.measured ? d.measured->Number(name).value_or(0) : 0;
}

double Limit(const RuleDecision& d, const char* name) {
    return d.limit ? d.limit->Number(name).value_or(0) : 0;
}

int Whole(double value) { return static_cast<int>(value); }

// "12.3%" from a percentage.
std::string Percent(double percent) { return FormatNumber(percent, 1) + "%"; }

std::string KiloBytes(double bytes) { return FormatNumber(bytes / 1024, 1); }

std::string SizeText(int width, int height, const char* times) {
    return std::to_string(width) + times + std::to_string(height);
}

// The background class a decision found: named by the rule, else by the
// word it measured (a decision read back from the results).
BackgroundColor FoundColour(const RuleDecision& d) {
    if (d.colour) return *d.colour;
    const std::optional<std::string> word = d.measured ? d.measured->Word("colour") : std::nullopt;
    for (const BackgroundColor colour : kBackgroundClasses) {
        if (word == ColourNameEn(colour)) return colour;
    }
    return BackgroundColor::Any;
}

const std::string kRetakePlainZh = "请在纯白、纯红或纯蓝的墙前重新拍摄";
const std::string kRetakePlainEn = "retake in front of a plain white, red or blue wall";

Sentences FileLength(const RuleDecision& d) {
    const std::string length = KiloBytes(Measured(d, "value"));
    const std::string minimum = FormatNumber(Limit(d, "min") / 1024, 0);
    return {"文件 " + length + " KB，要求至少 " + minimum + " KB",
            "file " + length + " KB, at least " + minimum + " KB", "请使用相机原图，不要压缩照片",
            "use the camera's original, uncompressed photo"};
}

Sentences PhotoSize(const RuleDecision& d) {
    const int width = Whole(Measured(d, "width"));
    const int height = Whole(Measured(d, "height"));
    const int minW = Whole(Limit(d, quantity_name::kMinWidth));
    const int minH = Whole(Limit(d, quantity_name::kMinHeight));
    return {"照片 " + SizeText(width, height, "×") + " 像素，要求至少 " + SizeText(minW, minH, "×"),
            "photo " + SizeText(width, height, " × ") + " pixels, at least " +
                SizeText(minW, minH, " × "),
            "请使用分辨率更高的照片", "use a photo with more pixels"};
}

Sentences BackgroundColour(const RuleDecision&) {
    return {"背景颜色不是红、蓝、白色之一", "background colour is not red, blue or white",
            kRetakePlainZh, kRetakePlainEn};
}

Sentences BackgroundSetting(const RuleDecision& d) {
    const BackgroundColor found = FoundColour(d);
    const int number = Whole(Limit(d, "setting"));
    if (number < 0 || number > 3) {
        return {"背景为" + ColourNameZh(found) + "，颜色设置 " + std::to_string(number) +
                    " 不接受任何颜色",
                "background is " + ColourNameEn(found) + "; colour setting " +
                    std::to_string(number) + " accepts none",
                "请让管理员检查颜色设置", "ask the administrator to check the colour setting"};
    }
    const auto setting = static_cast<BackgroundColor>(number);
    return {
        "背景为" + ColourNameZh(found) + "，设置只接受" + ColourNameZh(setting),
        "background is " + ColourNameEn(found) + "; only " + ColourNameEn(setting) + " is accepted",
        "请在" + ColourNameZh(setting) + "背景前重新拍摄",
        "retake in front of a plain " + ColourNameEn(setting) + " wall"};
}

Sentences Coverage(const RuleDecision& d) {
    const BackgroundColor found = FoundColour(d);
    const std::string covers = Percent(Measured(d, "value"));
    const std::string limit = FormatNumber(Limit(d, "above"), 0);
    return {
        "背景" + ColourNameZh(found) + "覆盖 " + covers + "，要求超过 " + limit + "%",
        ColourNameEn(found) + " background covers " + covers + ", more than " + limit + "% needed",
        kRetakePlainZh + "，人与墙之间留出空间", kRetakePlainEn + ", with space around the person"};
}

Sentences NoFace(const RuleDecision&) {
    return {"未找到人脸", "no face found", "请正对镜头，露出整张脸，在纯色墙前重新拍摄",
            "face the camera, show the whole face, against a plain wall"};
}

Sentences FaceCount(const RuleDecision& d) {
    const std::string count = std::to_string(Whole(Measured(d, "value")));
    const std::string most = std::to_string(Whole(Limit(d, "max")));
    return {"找到 " + count + " 张人脸，要求 1 或 " + most + " 张",
            count + " faces found, 1 or " + most + " allowed", "请单独拍摄，画面中只有一个人",
            "take the photo alone, one person in it"};
}

Sentences FaceShare(const RuleDecision& d) {
    const double share = Measured(d, "value");
    const std::string range =
        FormatNumber(Limit(d, "min"), 0) + "%–" + FormatNumber(Limit(d, "max"), 0) + "%";
    const bool small = share < Limit(d, "min");
    return {"人脸宽度占照片 " + Percent(share) + "，要求 " + range,
            "face width " + Percent(share) + " of the photo, " + range + " needed",
            small ? "请离镜头近一些" : "请离镜头远一些",
            small ? "move closer to the camera" : "move further from the camera"};
}

Sentences SizeSetting(const RuleDecision& d) {
    const std::string setting = std::to_string(Whole(Measured(d, "setting")));
    return {"尺寸设置 " + setting + " 无效，应为 " + ListValues(kSizeValues, "或"),
            "size setting " + setting + " is not valid, " + ListValues(kSizeValues),
            "请让管理员检查尺寸设置", "ask the administrator to check the size setting"};
}

Sentences HeadTop(const RuleDecision&) {
    return {"找不到头顶", "head top not found", "请在纯色墙前重新拍摄，头顶上方留出空间",
            "retake against a plain wall with space above the head"};
}

// Which way no frame fits, from the check that ended most trials (ties:
// top, bottom, enlarging, sides); without misses it only says that none fits.
Sentences CropFrame(const RuleDecision& d) {
    const std::pair<const char*, Sentences> ways[] = {
        {quantity_name::kPastTop,
         {"裁剪框超出照片上边：头顶上方留的空间不够",
          "the crop frame reaches past the top edge: too little room above the head",
          "请使用头顶上方留有更多背景的照片，不要裁掉头顶上方的背景",
          "use a photo with more room above the head; do not crop it away"}},
        {quantity_name::kPastBottom,
         {"裁剪框超出照片下边：下巴以下拍到的部分不够",
          "the crop frame reaches past the bottom edge: too little photo below the chin",
          "请使用下巴以下拍得更多（露出肩部）的照片",
          "use a photo that shows more below the chin, down to the shoulders"}},
        {"enlarge",
         {"裁剪框太小：需要放大过多",
          "the crop frame is too small: it would need enlarging too much", "请使用像素更多的照片",
          "use a photo with more pixels"}},
        {quantity_name::kPastSide,
         {"裁剪框超出照片左右两边：头部两侧留的空间不够",
          "the crop frame reaches past the sides: too little room beside the head",
          "请让头部位于照片中央，两侧留出更多背景",
          "centre the head and leave more background beside it"}},
    };
    const Sentences* main = nullptr;
    double most = 0;
    for (const auto& [count, sentences] : ways) {
        if (Measured(d, count) > most) {
            main = &sentences;
            most = Measured(d, count);
        }
    }
    if (main != nullptr) return *main;
    return {"没有能放进照片的裁剪框", "no crop frame fits inside the photo",
            "请让头部位于照片中央，四周留出更多背景",
            "centre the head and leave more background around it"};
}

Sentences Unreadable(const RuleDecision&) {
    return {"文件无法读取或不是图片", "the file cannot be read or is not an image",
            "请选择 JPEG、PNG 或 BMP 照片", "choose a JPEG, PNG or BMP photo"};
}

Sentences PixelCap(const RuleDecision& d) {
    const std::string cap = std::to_string(static_cast<std::uint64_t>(Limit(d, "max")) / 1000000);
    // A header may claim up to 2^32 - 1 pixels a side.
    const std::string width = std::to_string(static_cast<std::int64_t>(Measured(d, "width")));
    const std::string height = std::to_string(static_cast<std::int64_t>(Measured(d, "height")));
    return {"文件声称 " + width + "×" + height + " 像素，超过上限 " + cap + " 百万像素，未解码",
            "the file claims " + width + " × " + height + " pixels, more than the " + cap +
                " megapixels decoded",
            "请换一张照片", "choose another photo"};
}

// The file's structure asks more than a cap (CostExplanation.cpp words it,
// from the cap it exceeds; a decision read back from the results has its
// sentences recorded).
Sentences DecodingCost(const RuleDecision& d) {
    Explanation e = ExplainDecodingCost(d.cost.value_or(CostExcess{}));
    return {std::move(e.text), std::move(e.textEn), std::move(e.advice), std::move(e.adviceEn)};
}

Sentences AuditFailed(const RuleDecision& d) {
    return {"照片无法处理", "the photo cannot be processed (" + d.detail + ")",
            "请换一张照片，或转换为 JPEG 后重试", "try another photo, or convert it to JPEG"};
}

Sentences Passed(const RuleDecision& d) {
    const int width = Whole(Measured(d, "width"));
    const int height = Whole(Measured(d, "height"));
    return {"审核通过，输出 " + SizeText(width, height, "×") + " 像素",
            "passed; output " + SizeText(width, height, " × ") + " pixels", "可以保存并上传",
            "save it and upload it"};
}

// A clarity figure: tenths, without a trailing ".0".
std::string Tenths(double value) {
    std::string text = FormatNumber(value, 1);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    return text;
}

Sentences Clarity(const RuleDecision& d) {
    const std::string value = Tenths(Measured(d, "value"));
    const std::string advised = Tenths(Limit(d, "min"));
    return {"照片可能不够清晰（清晰度 " + value + "，建议至少 " + advised +
                "），建议换一张对焦清楚的照片。",
            "The photo may not be sharp enough (clarity " + value + ", at least " + advised +
                " advised); a well-focused photo is better.",
            "建议换一张对焦清楚的照片", "a well-focused photo is better"};
}

using SentencesOf = Sentences (*)(const RuleDecision&);

const std::map<std::string_view, SentencesOf>& SentenceTable() {
    static const std::map<std::string_view, SentencesOf> table = {
        {rule_id::kPassed, Passed},
        {rule_id::kUnreadable, Unreadable},
        {rule_id::kAuditFailed, AuditFailed},
        {rule_id::kPixelCap, PixelCap},
        {rule_id::kDecodingCost, DecodingCost},
        {rule_id::kNoFace, NoFace},
        {rule_id::kFaceCount, FaceCount},
        {rule_id::kFileLength, FileLength},
        {rule_id::kPhotoSize, PhotoSize},
        {rule_id::kBackgroundColour, BackgroundColour},
        {rule_id::kBackgroundSetting, BackgroundSetting},
        {rule_id::kBackgroundCoverage, Coverage},
        {rule_id::kSizeSetting, SizeSetting},
        {rule_id::kFaceShare, FaceShare},
        {rule_id::kHeadTop, HeadTop},
        {rule_id::kCropFrame, CropFrame},
        {rule_id::kClarity, Clarity},
    };
    return table;
}

}  // namespace

std::string ColourNameZh(BackgroundColor colour) { return NamesOf(colour).zh; }

std::string ColourNameEn(BackgroundColor colour) { return NamesOf(colour).en; }

Explanation ExplainDecision(const RuleDecision& decision) {
    Explanation e;
    e.rule = decision.rule;
    e.measured = decision.measured;
    e.limit = decision.limit;
    const auto found = SentenceTable().find(decision.rule);
    if (found == SentenceTable().end()) return e;
    Sentences sentences = found->second(decision);
    e.text = std::move(sentences.text);
    e.textEn = std::move(sentences.textEn);
    e.advice = std::move(sentences.advice);
    e.adviceEn = std::move(sentences.adviceEn);
    if (decision.rule == rule_id::kPassed) {
        e.output =
            cv::Size(Whole(Measured(decision, "width")), Whole(Measured(decision, "height")));
    }
    return e;
}

}  // namespace quorvel
