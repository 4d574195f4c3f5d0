#include "gui/FailureMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <string>
#include <system_error>

#include "core/audit/FaceDetect.h"
#include "core/config/Settings.h"

namespace quorvel::gui {

using quorvel::Error;
using quorvel::ErrorKind;

namespace {

QString reasonText(ErrorKind code) {
    switch (code) {
        case ErrorKind::NoPhoto:
            return QStringLiteral("没有可保存的照片，请重新打开照片。");
        case ErrorKind::NoEncoder:
            return QStringLiteral("无法保存为这种文件类型，请使用扩展名为 .jpg 的文件名。");
        case ErrorKind::IsFolder:
            return QStringLiteral("所选名称是一个文件夹，请另取一个文件名。");
        case ErrorKind::NotAFile:
            return QStringLiteral("所选名称不是普通文件（设备、管道或套接字），请另取一个文件名。");
        case ErrorKind::NotWritable:
            return QStringLiteral(
                "同名文件不能被替换（只读或无权限），请另取文件名或选择其他文件夹。");
        case ErrorKind::FolderNotWritable:
            return QStringLiteral(
                "同名文件所在的文件夹不允许写入：照片先写成同一文件夹中的新文件，再替换原文件，"
                "因此无法替换。请选择其他文件夹。");
        case ErrorKind::WriteFailed:
            return QStringLiteral("无法写入所选位置，请选择其他文件夹。");
        case ErrorKind::Incomplete:
            return QStringLiteral("照片没有完整写入（磁盘空间可能已满），请选择其他位置。");
        case ErrorKind::MarkerFailed:
            return QStringLiteral("照片的通过标记没有写入，请选择其他位置重新保存。");
        default:
            break;
    }
    return QStringLiteral("请选择其他位置重新保存。");
}

// The system's reason in Chinese; the English message of the error is for
// quorvel-audit.
QString systemReasonText(int systemError) {
    switch (systemError) {
        case EACCES:
            return QStringLiteral("没有访问权限");
        case EPERM:
            return QStringLiteral("不允许此操作");
        case EROFS:
            return QStringLiteral("文件系统是只读的");
        case ENOSPC:
            return QStringLiteral("磁盘空间不足");
        case EDQUOT:
            return QStringLiteral("超出磁盘配额");
        case ENOENT:
            return QStringLiteral("文件夹不存在");
        case ENOTDIR:
            return QStringLiteral("路径中有一部分不是文件夹");
        case EISDIR:
            return QStringLiteral("这是一个文件夹");
        case ENAMETOOLONG:
            return QStringLiteral("文件名太长");
        case ELOOP:
            return QStringLiteral("符号链接层数过多或形成循环");
        case EIO:
            return QStringLiteral("读写设备出错");
        case EBUSY:
            return QStringLiteral("文件正被占用");
        case EXDEV:
            return QStringLiteral("不能跨文件系统替换");
        case 0:
            return {};
        default:
            return QStringLiteral("系统错误（代码 %1）").arg(systemError);
    }
}

// The detail names the file and the system's reason; it adds nothing when
// there is no photo or the name only lacks a known extension.
bool detailHelps(ErrorKind code) {
    return code != ErrorKind::NoPhoto && code != ErrorKind::NoEncoder;
}

}  // namespace

QString saveFailureMessage(const Error& result) {
    QString text = QStringLiteral("照片保存失败：") + reasonText(result.kind);
    if (result.kind != ErrorKind::NoPhoto) {
        text += QStringLiteral("\n审核通过的照片仍然保留，可以再次点击“保存照片”。");
    }
    if (detailHelps(result.kind) && !result.path.empty()) {
        text += QStringLiteral("\n\n详细信息：“") +
                QFile::decodeName(QByteArray::fromStdString(result.path.native())) +
                QStringLiteral("”");
        const QString reason = systemReasonText(result.systemError);
        if (!reason.isEmpty()) text += QStringLiteral("：") + reason;
    }
    return text;
}

namespace {

// The step of the per-user folder's set-up that failed, told by the kind and
// the path as PrepareUserFolder and EnterUserFolder report them.
std::string userFolderStep(const Error& error) {
    switch (error.kind) {
        case ErrorKind::NotFound:
            return "人脸检测文件缺失（请安装 opencv-data）";
        case ErrorKind::IsFolder:
            return "人脸检测文件的位置被一个文件夹占用";
        case ErrorKind::ConfigUnusable:
            return "无法复制默认配置文件";
        case ErrorKind::CascadeUnusable:
            return "无法复制人脸检测文件";
        case ErrorKind::NotReadable:
            return "无法进入工作文件夹";
        default:
            break;
    }
    const std::filesystem::path name = error.path.filename();
    if (name == quorvel::kDefaultConfigPath.filename()) return "无法写入配置文件";
    if (name == quorvel::kCascadeFileName) return "无法放置人脸检测文件";
    return "无法创建工作文件夹";
}

}  // namespace

QString userFolderFailureMessage(const Error& error) {
    if (error.path.empty()) {
        return QStringLiteral("无法确定工作文件夹：环境变量 HOME 未设置或不是绝对路径。");
    }
    // The system's reason as the system words it, after the file.
    std::string text = userFolderStep(error) + "：" + error.path.string();
    if (error.systemError != 0) {
        text += "（" + std::generic_category().message(error.systemError) + "）";
    }
    return QString::fromStdString(text);
}

QString startupFailureMessage(const Error& error) {
    return error.kind == ErrorKind::CascadeUnusable ? QStringLiteral("文件缺失，请重新下载！")
                                                    : QStringLiteral("没有配置文件！");
}

QString startupFailureDetail(const Error& error) {
    if (error.path.empty()) return {};
    const QString file =
        QDir::cleanPath(QFileInfo(QFile::decodeName(error.path.c_str())).absoluteFilePath());
    return QStringLiteral("文件：") + file;
}

QString logFailureLine(const Error& error) {
    const QString name = error.path.empty() ? QStringLiteral("Test.log")
                                            : QFile::decodeName(error.path.filename().c_str());
    return QStringLiteral("%1 无法写入，结果未记入日志").arg(name);
}

}  // namespace quorvel::gui
