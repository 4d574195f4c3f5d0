#include "gui/SaveMessage.h"

using quorvel::SaveError;
using quorvel::SaveResult;

namespace {

QString reasonText(SaveError code) {
    switch (code) {
        case SaveError::NoPhoto:
            return QStringLiteral("没有可保存的照片，请重新打开照片。");
        case SaveError::NoEncoder:
            return QStringLiteral("无法保存为这种文件类型，请使用扩展名为 .jpg 的文件名。");
        case SaveError::IsFolder:
            return QStringLiteral("所选名称是一个文件夹，请另取一个文件名。");
        case SaveError::NotWritable:
            return QStringLiteral(
                "同名文件不能被替换（只读或无权限），请另取文件名或选择其他文件夹。");
        case SaveError::WriteFailed:
            return QStringLiteral("无法写入所选位置，请选择其他文件夹。");
        case SaveError::Incomplete:
            return QStringLiteral("照片没有完整写入（磁盘空间可能已满），请选择其他位置。");
        case SaveError::MarkerFailed:
            return QStringLiteral("照片的通过标记没有写入，请选择其他位置重新保存。");
        case SaveError::None:
            break;
    }
    return QStringLiteral("请选择其他位置重新保存。");
}

// The detail names the path and the system's reason; it adds nothing when
// there is no photo or the name only lacks a known extension.
bool detailHelps(SaveError code) {
    return code != SaveError::NoPhoto && code != SaveError::NoEncoder;
}

}  // namespace

QString saveFailureMessage(const SaveResult& result) {
    QString text = QStringLiteral("照片保存失败：") + reasonText(result.code);
    if (result.code != SaveError::NoPhoto) {
        text += QStringLiteral("\n审核通过的照片仍然保留，可以再次点击“保存照片”。");
    }
    if (detailHelps(result.code) && !result.error.empty()) {
        text += QStringLiteral("\n\n详细信息：") + QString::fromStdString(result.error);
    }
    return text;
}
