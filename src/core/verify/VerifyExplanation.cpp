#include "core/verify/VerifyExplanation.h"

#include "core/rules/Rules.h"

namespace quorvel {

namespace {

using Numbers = std::vector<std::pair<std::string, double>>;

Explanation Make(const char* rule, std::string text, std::string textEn) {
    Explanation e;
    e.rule = rule;
    e.text = std::move(text);
    e.textEn = std::move(textEn);
    return e;
}

Quantity Values(Numbers numbers, std::string unit) {
    return Quantity{std::move(numbers), {}, std::move(unit)};
}

Quantity Words(std::vector<std::pair<std::string, std::string>> words) {
    return Quantity{{}, std::move(words), ""};
}

std::string Percent(double share) { return FormatNumber(share * 100, 1) + "%"; }

std::string HsvText(const Hsv& hsv) {
    std::string text = hsv.hueDefined ? "hue " + FormatNumber(hsv.hue, 1) + "°, " : "no hue, ";
    return text + "saturation " + FormatNumber(hsv.saturation, 3) + ", value " +
           FormatNumber(hsv.value, 3);
}

Numbers HsvNumbers(const std::string& side, const Hsv& hsv) {
    Numbers numbers;
    if (hsv.hueDefined) numbers.emplace_back(side + "_hue", hsv.hue);
    numbers.emplace_back(side + "_saturation", hsv.saturation);
    numbers.emplace_back(side + "_value", hsv.value);
    return numbers;
}

}  // namespace

Explanation ExplainFileRead(const Error& error, std::uintmax_t maxBytes,
                            std::optional<std::uintmax_t> length) {
    if (error.kind == ErrorKind::TooLarge) {
        const std::string limit = std::to_string(maxBytes);
        Explanation e = Make(verify_rule::kFile, "文件过大，保存的照片最多 " + limit + " 字节",
                             error.message + "; a saved photo is at most " + limit + " bytes");
        if (length) e.measured = Values({{"value", static_cast<double>(*length)}}, "B");
        e.limit = Values({{"max", static_cast<double>(maxBytes)}}, "B");
        return e;
    }
    return Make(verify_rule::kFile, "文件无法读取", error.message);
}

Explanation ExplainMarker(bool present) {
    Explanation e = present ? Make(verify_rule::kMarker, "文件以通过标记结尾",
                                   "the file ends with the pass marker")
                            : Make(verify_rule::kMarker, "文件不以通过标记结尾",
                                   "the file does not end with the pass marker");
    e.measured = Words({{"marker", present ? "present" : "absent"}});
    e.limit = Words({{"marker", "present"}});
    return e;
}

Explanation ExplainLayout(const ImageStructure& layout, std::uint64_t markerAt, bool decoded) {
    const std::string format = ImageFormatName(layout.format);
    if (layout.format == ImageFormat::Other) {
        Explanation e =
            decoded ? Make(verify_rule::kLayout, "图像格式不是 JPEG、PNG 或 BMP，未检查其结构",
                           "the data before the pass marker is not JPEG, PNG or BMP; its "
                           "structure is not checked")
                    : Make(verify_rule::kLayout, "通过标记之前不是完整的图像数据",
                           "the pass marker does not directly follow complete image data: the "
                           "bytes before it are no JPEG, PNG, BMP or other image the library "
                           "decodes");
        e.measured = Words({{"format", "other"}, {"decoded", decoded ? "yes" : "no"}});
        return e;
    }
    Explanation e;
    if (!layout.end) {
        e = Make(verify_rule::kLayout, format + " 数据不完整，通过标记之前没有结束标记",
                 "the pass marker does not directly follow complete " + format +
                     " data: " + layout.problem);
        e.measured = Words({{"format", format}, {"end", "none"}});
    } else {
        const double between = static_cast<double>(markerAt) - static_cast<double>(*layout.end);
        const std::string count = FormatNumber(between, 0);
        e = between == 0
                ? Make(verify_rule::kLayout, "通过标记紧接在完整的 " + format + " 数据之后",
                       "the pass marker directly follows complete " + format +
                           " data (0 bytes "
                           "between, 0 allowed)")
                : Make(verify_rule::kLayout,
                       format + " 数据结束与通过标记之间有 " + count + " 字节，要求 0 字节",
                       "the pass marker does not directly follow complete " + format +
                           " data: " + count + " bytes lie between its end at offset " +
                           std::to_string(*layout.end) + " and the marker, 0 allowed");
        e.measured = Quantity{{{"bytes_between", between}}, {{"format", format}}, "B"};
    }
    e.limit = Values({{"max", 0}}, "B");
    return e;
}

Explanation ExplainCost(ImageFormat format, const DecodingWork& work,
                        const std::optional<CostExcess>& excess) {
    if (excess) {
        Explanation e = ExplainDecodingCost(*excess);
        e.rule = verify_rule::kCost;
        e.advice.clear();
        e.adviceEn.clear();
        return e;
    }
    Explanation e = Make(verify_rule::kCost, "解码代价在上限之内，可以解码",
                         "decoding the " + std::string(ImageFormatName(format)) +
                             " data asks no more than its caps allow");
    e.measured = Values({{"scans", static_cast<double>(work.scans)},
                         {quantity_name::kReadsPerCoefficient, work.ReadsPerCoefficient()},
                         {"inflated_chunks", static_cast<double>(work.inflatedChunkBytes)},
                         {"image_data_excess", static_cast<double>(work.imageDataExcess)}},
                        "");
    return e;
}

Explanation ExplainFormat(const std::string& format, const std::optional<std::string>& foreign) {
    const bool saved = format == "JPEG" || format == "PNG" || format == "BMP";
    Explanation e;
    if (saved) {
        e = Make(verify_rule::kFormat, "图像格式为 " + format, "the image data is " + format);
    } else if (foreign) {
        e = Make(verify_rule::kFormat,
                 "图像格式为 " + *foreign + "，保存的照片只有 JPEG、PNG 或 BMP",
                 "the image data is " + *foreign + "; a saved photo is JPEG, PNG or BMP");
    } else {
        e = Make(verify_rule::kFormat, "不是 JPEG、PNG 或 BMP 图像数据",
                 "the data before the pass marker is no JPEG, PNG or BMP image; a saved photo is "
                 "one of these");
    }
    e.measured = Words({{"format", saved ? format : foreign.value_or("unknown")}});
    e.limit = Words({{"format", "JPEG, PNG or BMP"}});
    return e;
}

Explanation ExplainHeaderUnreadable(const std::string& why) {
    Explanation e = Make(verify_rule::kSize, "图像头无法读取，尺寸未知",
                         "the image header cannot be read (" + why + "), so its size is unknown");
    e.measured = Words({{"header", "unreadable"}});
    return e;
}

Explanation ExplainStructure(const std::string& format, const std::optional<std::string>& problem) {
    Explanation e =
        problem ? Make(verify_rule::kStructure, format + " 数据不是本工具保存时写入的结构",
                       *problem + "; a saved photo holds only what the save's encoder writes")
                : Make(verify_rule::kStructure, format + " 数据正是本工具保存时写入的结构",
                       "the " + format + " data holds exactly what the save's encoder writes");
    e.measured = Words({{"structure", problem ? "other" : "save"}});
    e.limit = Words({{"structure", "save"}});
    return e;
}

Explanation ExplainDecode(bool decoded, cv::Size size, const std::optional<std::string>& damage) {
    Explanation e;
    if (damage) {
        e = Make(verify_rule::kDecode, "JPEG 数据已损坏：" + *damage,
                 "the JPEG data is damaged: libjpeg reports \"" + *damage + "\"");
    } else if (decoded) {
        e = Make(verify_rule::kDecode, "图像数据可以解码",
                 "the image data decodes to " + std::to_string(size.width) + " × " +
                     std::to_string(size.height) + " pixels");
    } else if (size.width > 0) {
        e = Make(verify_rule::kDecode, "解码尺寸与图像头不符",
                 "the image data decodes to " + std::to_string(size.width) + " × " +
                     std::to_string(size.height) + " pixels, not the size its header claims");
    } else {
        e = Make(verify_rule::kDecode, "图像数据无法解码", "the image data cannot be decoded");
    }
    e.measured = Words({{"decoded", decoded ? "yes" : "no"}});
    if (damage) e.measured->words.emplace_back("libjpeg", *damage);
    return e;
}

Explanation ExplainDataDamaged(const std::string& format, const std::string& damage) {
    Explanation e = Make(verify_rule::kDecode, format + " 数据已损坏，无法读取",
                         "the " + format + " data is damaged: " + damage);
    e.measured = Words({{"decoded", "no"}});
    return e;
}

Explanation ExplainEncodingDiffers(const std::string& format, const std::string& difference) {
    Explanation e = Make(verify_rule::kDecode, format + " 数据不是本工具保存时为其像素写入的字节",
                         "the " + format +
                             " data is not what the save's encoder writes for the pixels it "
                             "holds: " +
                             difference);
    e.measured = Words({{"decoded", "yes"}, {"encoding", "other"}});
    e.limit = Words({{"encoding", "save"}});
    return e;
}

Explanation ExplainSavedSize(cv::Size size, int sizeSetting) {
    const rules::SizeModeParams* mode = sizeSetting == 1   ? &rules::kMode1
                                        : sizeSetting == 2 ? &rules::kMode2
                                                           : nullptr;
    if (mode == nullptr) {
        Explanation e =
            Make(verify_rule::kSize, "尺寸设置 " + std::to_string(sizeSetting) + " 不是尺寸模式",
                 "the size setting " + std::to_string(sizeSetting) + " is not a size mode (" +
                     ListValues(kSizeValues) + ")");
        e.measured = Values({{"setting", sizeSetting}}, "");
        e.limit = Values({{"min", kSizeValues.least}, {"max", kSizeValues.most}}, "");
        return e;
    }
    const std::string aspect = sizeSetting == 1 ? rules::kMode1AspectText : rules::kMode2AspectText;
    const std::string wide = std::to_string(mode->narrowWidth) + " to " +
                             std::to_string(mode->wideWidth) + " pixels wide";
    const std::string pixels = std::to_string(size.width) + " × " + std::to_string(size.height);
    Explanation e =
        Make(verify_rule::kSize,
             "照片 " + pixels + " 像素，尺寸模式 " + std::to_string(sizeSetting) + " 保存宽 " +
                 std::to_string(mode->narrowWidth) + "–" + std::to_string(mode->wideWidth) +
                 "、高为宽的 " + aspect + " 倍",
             "the photo is " + pixels + " pixels; size mode " + std::to_string(sizeSetting) +
                 " saves " + wide + " and trunc(" + aspect + " × width) high");
    e.measured = Values({{"width", size.width}, {"height", size.height}}, "px");
    e.limit = Values({{quantity_name::kMinWidth, mode->narrowWidth},
                      {quantity_name::kMaxWidth, mode->wideWidth},
                      {"height_per_width", mode->aspect}},
                     "px");
    return e;
}

Explanation ExplainQuantisation(int tables, int matching, int expected,
                                std::optional<int> quality) {
    const bool same = tables == expected && matching == expected;
    const std::string quality50 = std::to_string(rules::kSaveJpegQuality);
    const std::string saved = "quality-" + quality50;
    const std::string about = quality ? " (about quality " + std::to_string(*quality) + ")" : "";
    Explanation e =
        same
            ? Make(verify_rule::kQuantisation, "JPEG 量化表与质量 " + quality50 + " 的保存相同",
                   "the JPEG carries the " + std::to_string(expected) +
                       " quantisation tables of a " + saved + " save")
            : Make(verify_rule::kQuantisation, "JPEG 量化表不是质量 " + quality50 + " 保存的量化表",
                   "the JPEG's quantisation tables are not those of a " + saved +
                       " save: " + std::to_string(tables) + " tables, " + std::to_string(matching) +
                       " equal to the save's" + about + "; a saved photo carries the save's " +
                       std::to_string(expected) + " tables");
    e.measured = Values({{"tables", tables}, {"matching", matching}}, "");
    if (quality) e.measured->numbers.emplace_back("quality", *quality);
    e.limit = Values({{"tables", expected}, {"quality", rules::kSaveJpegQuality}}, "");
    return e;
}

Explanation ExplainBackgroundRegion(bool left, bool right, int difference, double allowed) {
    const std::string limit = FormatNumber(allowed, 0);
    const std::string levels = std::to_string(difference);
    Explanation e;
    if (!left || !right) {
        const std::string sides = !left && !right ? "on either side"
                                  : !left         ? "on the left"
                                                  : "on the right";
        e = Make(verify_rule::kBackgroundRegion, "头部一侧没有到达上边缘的纯色背景",
                 "no plain background reaches the top edge " + sides +
                     " of the head; a saved photo has it on both sides");
    } else if (difference > allowed) {
        e = Make(verify_rule::kBackgroundRegion,
                 "头部两侧的背景不是同一背景：颜色相差 " + levels + "，允许 " + limit,
                 "the plain regions left and right of the head are not one backdrop: they share "
                 "no pixels and their shades differ by " +
                     levels + " levels, " + limit + " allowed");
    } else {
        e = Make(verify_rule::kBackgroundRegion, "头部两侧都有同一纯色背景到达上边缘",
                 "one plain backdrop reaches the top edge on both sides of the head (shades " +
                     levels + " levels apart, " + limit + " allowed where they share no pixels)");
    }
    e.measured = Quantity{{{"shade_difference", difference}},
                          {{"left", left ? "yes" : "no"}, {"right", right ? "yes" : "no"}},
                          ""};
    e.limit =
        Quantity{{{"max_shade_difference", allowed}}, {{"left", "yes"}, {"right", "yes"}}, ""};
    return e;
}

Explanation ExplainBackgroundColourOf(const Hsv& left, const Hsv& right, bool inClass,
                                      const ColourTolerance& tol) {
    const std::string allowed =
        "white needs value ≥ " + FormatNumber(rules::kWhiteMinValue - tol.value, 3) +
        " and saturation ≤ " + FormatNumber(rules::kWhiteMaxSaturation + tol.saturation, 3) +
        ", red hue ≥ " + FormatNumber(rules::kRedHueFrom - tol.hue, 1) + "° or < " +
        FormatNumber(rules::kRedHueBelow + tol.hue, 1) + "°, blue hue " +
        FormatNumber(rules::kBlueHueFrom - tol.hue, 1) + "° to " +
        FormatNumber(rules::kBlueHueTo + tol.hue, 1) + "°, all with value ≥ " +
        FormatNumber(rules::kDarkValueBelow - tol.value, 3);
    const std::string measured =
        HsvText(left) + " on the left, " + HsvText(right) + " on the right";
    Explanation e =
        inClass
            ? Make(verify_rule::kBackgroundColour, "背景颜色为红、蓝、白色之一",
                   "the background is white, red or blue: " + measured)
            : Make(verify_rule::kBackgroundColour, "背景颜色不是红、蓝、白色之一",
                   "the background colour is not white, red or blue: " + measured + "; " + allowed);
    Numbers numbers = HsvNumbers("left", left);
    for (auto& n : HsvNumbers("right", right)) numbers.push_back(n);
    e.measured = Values(std::move(numbers), "hsv");
    e.limit = ColourClassLimits(tol);
    return e;
}

Explanation ExplainBackgroundSettingOf(std::optional<BackgroundColor> found,
                                       BackgroundColor setting, bool accepted) {
    const int number = static_cast<int>(setting);
    const bool acceptsNone = number < 0 || number > 3;
    const std::string colourEn = found ? ColourNameEn(*found) : "not white, red or blue";
    const std::string colourZh = found ? ColourNameZh(*found) : "非红、蓝、白色";
    Explanation e;
    if (accepted) {
        e = Make(verify_rule::kBackgroundSetting, "背景为" + colourZh + "，符合颜色设置",
                 "the background colour is " + colourEn + ", which the colour setting " +
                     std::to_string(number) + " accepts");
    } else if (acceptsNone) {
        e = Make(verify_rule::kBackgroundSetting,
                 "背景为" + colourZh + "，颜色设置 " + std::to_string(number) + " 不接受任何颜色",
                 "the background colour is " + colourEn + ", and the colour setting " +
                     std::to_string(number) + " accepts none");
    } else {
        e = Make(verify_rule::kBackgroundSetting,
                 "背景为" + colourZh + "，设置只接受" + ColourNameZh(setting),
                 "the background colour is " + colourEn + ", but the colour setting accepts only " +
                     ColourNameEn(setting));
    }
    e.measured = Words({{"colour", found ? ColourNameEn(*found) : "none"}});
    e.limit = Quantity{
        {{"setting", number}}, {{"colour", acceptsNone ? "none" : ColourNameEn(setting)}}, ""};
    return e;
}

Explanation ExplainBackgroundCoverageOf(double coverage, double minimum) {
    Explanation e =
        Make(verify_rule::kBackgroundCoverage,
             "到达上边缘的纯色背景覆盖 " + Percent(coverage) + "，要求至少 " + Percent(minimum),
             "the plain background reaching the top edge covers " + Percent(coverage) +
                 " of the photo; a saved photo has at least " + Percent(minimum));
    e.measured = Values({{"value", coverage * 100}}, "%");
    e.limit = Values({{"min", minimum * 100}}, "%");
    return e;
}

Explanation ExplainFaceCountOf(std::size_t count) {
    const std::string allowed = "1 or " + std::to_string(rules::kMaxFaces);
    Explanation e =
        count == 0
            ? Make(verify_rule::kFaceCount, "未找到人脸", "no face found; a saved photo shows one")
            : Make(verify_rule::kFaceCount, "找到 " + std::to_string(count) + " 张人脸",
                   std::to_string(count) + (count == 1 ? " face" : " faces") + " found; " +
                       allowed + " allowed, the wider measured");
    e.measured = Values({{"value", static_cast<double>(count)}}, "faces");
    e.limit = Values({{"min", 1}, {"max", static_cast<double>(rules::kMaxFaces)}}, "faces");
    return e;
}

Explanation ExplainFaceShareOf(double share, double minimum, double maximum) {
    Explanation e =
        Make(verify_rule::kFaceShare,
             "人脸宽度占照片 " + Percent(share) + "，裁剪产生 " + Percent(minimum) + "–" +
                 Percent(maximum),
             "the face is " + Percent(share) + " of the photo width; the crop makes it " +
                 Percent(minimum) + " to " + Percent(maximum));
    e.measured = Values({{"value", share * 100}}, "%");
    e.limit = Values({{"min", minimum * 100}, {"max", maximum * 100}}, "%");
    return e;
}

Explanation ExplainFaceCentre(double offset, double allowed) {
    const std::string off = FormatNumber(offset, 0);
    const std::string limit = FormatNumber(allowed, 0);
    Explanation e =
        offset <= allowed
            ? Make(verify_rule::kFaceCentre, "人脸居中，偏离中线 " + off + " 像素",
                   "the face is centred: " + off + " pixels off the middle, " + limit + " allowed")
            : Make(verify_rule::kFaceCentre, "人脸不居中，偏离中线 " + off + " 像素，允许 " + limit,
                   "the face is not centred: it is " + off +
                       " pixels off the middle, the crop "
                       "allows " +
                       limit);
    e.measured = Values({{"value", offset}}, "px");
    e.limit = Values({{"max", allowed}}, "px");
    return e;
}

Explanation ExplainFaceTop(int row, int lowest, int highest) {
    Explanation e = Make(verify_rule::kFaceTop,
                         "人脸上沿在第 " + std::to_string(row) + " 行，裁剪使其位于第 " +
                             std::to_string(lowest) + "–" + std::to_string(highest) + " 行",
                         "the face's top is on row " + std::to_string(row) +
                             "; the crop puts it between rows " + std::to_string(lowest) + " and " +
                             std::to_string(highest));
    e.measured = Values({{"value", row}}, "px");
    e.limit = Values({{"min", lowest}, {"max", highest}}, "px");
    return e;
}

}  // namespace quorvel
