#include "gui/ScreenTexts.h"

namespace quorvel::gui {

QString screenCaption(quorvel::Verdict verdict) {
    switch (verdict) {
        case quorvel::Verdict::Initial:
            return kInitialCaption;
        case quorvel::Verdict::Passed:
            return kPassedCaption;
        default:
            return kFailedCaption;
    }
}

QString screenReason(quorvel::Verdict verdict) {
    using quorvel::Verdict;
    switch (verdict) {
        case Verdict::BadFormat:
            return QStringLiteral(
                "打开照片文件类型不是JPG或者JPEG格式，请选择JPG或者JPEG格式的文件");
        case Verdict::TooSmall:
            return QStringLiteral(
                "照片文件小于30K或者像素数低，请选择大小和像素符合要求的照片文件");
        case Verdict::BadBackground:
            return QStringLiteral("打开照片文件背景不符合要求，请选择指定单色背景照片文件");
        case Verdict::BadProportion:
            return QStringLiteral("打开照片文件头部比例不符合要求，请选择头部比例适当的照片文件");
        case Verdict::NoFace:
            return QStringLiteral("打开照片文件不符合要求，请选择正面人像标准证件照片文件");
        case Verdict::Initial:
        case Verdict::Passed:
            break;
    }
    return {};
}

}  // namespace quorvel::gui
