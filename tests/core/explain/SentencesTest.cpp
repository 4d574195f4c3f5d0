// The sentences of the explanation, word for word, tested here only: the
// window, the JSON lines and the report are held to show them.
#include <gtest/gtest.h>

#include "core/explain/Explanation.h"

using namespace quorvel;

// Each rule's sentences, in Chinese and English, from the values it was
// given: the window's measured line, the JSON "reason" and the report show
// these and only these.
TEST(Explanation, EachRuleSaysItsSentenceInBothLanguages) {
    Hsv grey;
    grey.saturation = 0.2;
    grey.value = 0.5;
    const struct {
        const char* description;
        Explanation e;
        const char* text;
        const char* textEn;  // nullptr: ExplanationTest holds it, from a real audit
        const char* advice;  // nullptr: only checked to be there
        const char* adviceEn;
    } rows[] = {
        {"a short file", ExplainDecision(DecideFileLength(25600)), "文件 25.0 KB，要求至少 30 KB",
         "file 25.0 KB, at least 30 KB", nullptr, nullptr},
        {"the short portrait", ExplainDecision(DecideFileLength(26617)),
         "文件 26.0 KB，要求至少 30 KB", nullptr, nullptr, nullptr},
        {"too few pixels for mode 2", ExplainDecision(DecidePhotoSize({300, 440}, SizeMode::Mode2)),
         "照片 300×440 像素，要求至少 295×447", "photo 300 × 440 pixels, at least 295 × 447",
         nullptr, nullptr},
        {"too little blue", ExplainDecision(DecideCoverage(BackgroundColor::Blue, 0.085)),
         "背景蓝色覆盖 8.5%，要求超过 10%", "blue background covers 8.5%, more than 10% needed",
         nullptr, nullptr},
        {"red where only blue is accepted",
         ExplainDecision(DecideBackgroundSetting(BackgroundColor::Red, BackgroundColor::Blue)),
         "背景为红色，设置只接受蓝色", nullptr, "请在蓝色背景前重新拍摄",
         "retake in front of a plain blue wall"},
        {"blue where only white is accepted",
         ExplainDecision(DecideBackgroundSetting(BackgroundColor::Blue, BackgroundColor::White)),
         "背景为蓝色，设置只接受白色", "background is blue; only white is accepted", nullptr,
         nullptr},
        {"a colour setting out of range",
         ExplainDecision(
             DecideBackgroundSetting(BackgroundColor::White, static_cast<BackgroundColor>(7))),
         "背景为白色，颜色设置 7 不接受任何颜色",
         "background is white; colour setting 7 accepts none", nullptr, nullptr},
        {"no colour class", ExplainDecision(DecideBackgroundColour(grey)),
         "背景颜色不是红、蓝、白色之一", "background colour is not red, blue or white", nullptr,
         nullptr},
        {"three faces", ExplainDecision(DecideFaceCount(3)), "找到 3 张人脸，要求 1 或 2 张",
         nullptr, nullptr, "take the photo alone, one person in it"},
        {"no face", ExplainDecision(DecideFaceCount(0)), "未找到人脸", nullptr, nullptr, nullptr},
        {"a narrow face", ExplainDecision(DecideFaceShare(0.15)),
         "人脸宽度占照片 15.0%，要求 20%–80%", "face width 15.0% of the photo, 20%–80% needed",
         nullptr, nullptr},
        {"the face on a wide canvas", ExplainDecision(DecideFaceShare(0.141)),
         "人脸宽度占照片 14.1%，要求 20%–80%", "face width 14.1% of the photo, 20%–80% needed",
         nullptr, "move closer to the camera"},
        {"a size setting out of range", ExplainDecision(DecideSizeSetting(3)),
         "尺寸设置 3 无效，应为 1 或 2", "size setting 3 is not valid, 1 or 2", nullptr, nullptr},
        {"no head top", ExplainDecision(DecideHeadTop()), "找不到头顶", "head top not found",
         nullptr, nullptr},
        {"no crop frame", ExplainDecision(DecideCropFrame(0)), "没有能放进照片的裁剪框", nullptr,
         nullptr, nullptr},
        {"an unreadable file", ExplainDecision(DecideUnreadable()), "文件无法读取或不是图片",
         nullptr, nullptr, nullptr},
        {"a JPEG of too many scans",
         ExplainDecodingCost({CostExcess::Kind::Scans, ImageFormat::Jpeg, 4000, 100}),
         "JPEG 有 4000 次扫描，超过上限 100 次，未解码",
         "the JPEG has 4000 scans, more than the cap of 100; not decoded", "请换一张照片",
         "choose another photo"},
        {"scans reading each coefficient too often",
         ExplainDecodingCost({CostExcess::Kind::CoefficientReads, ImageFormat::Jpeg, 38.24, 10}),
         "JPEG 的扫描把每个系数读 38.2 遍，超过上限 10 遍，未解码",
         "the JPEG's scans read each coefficient 38.2 times, more than the cap of 10; not decoded",
         nullptr, nullptr},
        {"text chunks inflating too far",
         ExplainDecodingCost({CostExcess::Kind::InflatedChunks, ImageFormat::Png, 17e6, 16777216}),
         "PNG 的压缩文本块解压后超过上限 16 MB，未解码",
         "the PNG's compressed text and profile chunks inflate to more than the cap of 16 MB; not "
         "decoded",
         nullptr, nullptr},
        {"image data inflating beyond its rows",
         ExplainDecodingCost({CostExcess::Kind::ImageDataExcess, ImageFormat::Png, 2e6, 1048576}),
         "PNG 的图像数据解压后比像素所需多出超过 1 MB，未解码",
         "the PNG's image data inflates beyond its pixels by more than the cap of 1 MB; not "
         "decoded",
         nullptr, nullptr},
        {"a broken audit", ExplainDecision(DecideAuditFailed("out of memory")), "照片无法处理",
         "the photo cannot be processed (out of memory)", nullptr, nullptr},
        {"advice: a blurred face", ExplainDecision(DecideClarity(41.2, 60)),
         "照片可能不够清晰（清晰度 41.2，建议至少 60），建议换一张对焦清楚的照片。",
         "The photo may not be sharp enough (clarity 41.2, at least 60 advised); a "
         "well-focused photo is better.",
         nullptr, nullptr},
        {"a pass", ExplainDecision(DecidePassed({295, 413}, SizeMode::Mode1)),
         "审核通过，输出 295×413 像素", nullptr, nullptr, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.description);
        EXPECT_EQ(row.e.text, row.text);
        if (row.textEn != nullptr) {
            EXPECT_EQ(row.e.textEn, row.textEn);
        }
        EXPECT_EQ(row.e.advice, row.advice ? row.advice : row.e.advice);
        EXPECT_EQ(row.e.adviceEn, row.adviceEn ? row.adviceEn : row.e.adviceEn);
        EXPECT_FALSE(row.e.advice.empty() || row.e.adviceEn.empty());
    }
    EXPECT_STREQ(kNotSavedAdviceEn, "check the output folder and the file name, then save again");
}
