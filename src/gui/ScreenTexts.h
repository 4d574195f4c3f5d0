#pragma once

#include <QString>

#include "core/audit/Verdict.h"

namespace quorvel::gui {

// The texts the screen pictures carry, for what is told to assistive
// technology: the title, the instructions, and per verdict the caption and
// the reason.
inline const QString kToolTitle = QStringLiteral("照片审核处理工具");
inline const QString kInstructions = QStringLiteral(
    "工具使用说明：1. 做为网报系统的辅助工具，报名系统只识别利用此工具处理通过后的照片。"
    "2. 源照片文件要求：①必须为指定单色背景（红、蓝或白），正面、免冠近期 1寸或2寸证件照；"
    "②JPG或JPEG格式；③字节大于30KB；④宽高像素大于220X300；⑤照片清晰，禁止缩放后使用。"
    "3. 操作说明：点击‘打开照片’按钮选择源照片文件，本工具会对源照片进行自动处理，"
    "提示符合要求的点击‘保存照片’按钮后退出，然后进行后续报名操作；不符合要求的，"
    "请按提示原因重新选择符合源照片文件要求的照片，直至提示符合要求。"
    "4. 温馨声明：如因照片质量影响报名、笔试、面试及成绩证书的，由考生本人负责。");
inline const QString kInitialCaption = QStringLiteral("处理结果提示");
inline const QString kInitialPlaceholder = QStringLiteral("照片处理结果显示区域");
inline const QString kPassedCaption = QStringLiteral("符合要求");
inline const QString kFailedCaption = QStringLiteral("不符合要求");
inline const QString kReasonHeading = QStringLiteral("原因：");
// Under the reason, for a photo this tool has already passed and saved.
inline const QString kAlreadyProcessedNote = QStringLiteral("这张照片已处理通过，可直接上传。");

// The caption of the result panel for a verdict.
QString screenCaption(quorvel::Verdict verdict);

// The reason a rejection screen gives, word for word; empty for the initial
// and the success screen.
QString screenReason(quorvel::Verdict verdict);

}  // namespace quorvel::gui
