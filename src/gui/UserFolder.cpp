#include "gui/UserFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <system_error>

#include "core/audit/FaceDetect.h"
#include "core/config/ConfigPlaces.h"
#include "core/config/Settings.h"
#include "core/io/AtomicFile.h"
#include "core/io/RegularFile.h"
#include "core/session/Session.h"

namespace quorvel::gui {

namespace fs = std::filesystem;

const char kBuiltInConfig[] = "[set]\ncolor=3\nsize=1\n";

namespace {

// The names the window looks for in its working directory.
const fs::path kConfigFileName = quorvel::kDefaultConfigPath.filename();
const fs::path& kCascadeFileName = quorvel::kCascadeFileName;

// Larger files than these are not what the installed copies are.
constexpr std::uintmax_t kMaxConfigBytes = 1 << 20;
constexpr std::uintmax_t kMaxCascadeBytes = 64 << 20;

}  // namespace

namespace {

using quorvel::ErrorKind;
using quorvel::Result;

// The window's message for a step that failed on `path`: this module's errors
// are shown as they are, so their message is the window's own sentence.
quorvel::Error Failure(const std::string& what, const fs::path& path, const std::error_code& ec,
                       ErrorKind kind = ErrorKind::WriteFailed) {
    std::string text = what + "：" + path.string();
    if (ec) {
        text += "（" + ec.message() + "）";
    }
    return quorvel::Fail(kind, text, ec.value(), path);
}

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// A name beside the final one, renamed over it once complete, so that an
// interrupted start never leaves a half-written file under the final name.
fs::path StagingName(const fs::path& target) {
    fs::path staging = target;
    staging += ".new-" + std::to_string(::getpid());
    return staging;
}

Result<void> InstallConfig(const UserFolderSources& sources, const fs::path& folder) {
    const fs::path target = folder / kConfigFileName;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(target, ec))) {
        return {};  // the user's own settings
    }

    // The first installed default that can be read, else the built-in one.
    // The copy is a new file of the user's, to edit whatever the installed
    // file's mode.
    std::string content = kBuiltInConfig;
    for (const fs::path& candidate : sources.defaultConfigs) {
        quorvel::Result<quorvel::RegularFile> file = quorvel::RegularFile::Open(candidate);
        if (!file) continue;
        quorvel::Result<std::string> bytes = file->ReadAll(kMaxConfigBytes);
        if (!bytes) {
            return Failure("无法复制默认配置文件", candidate,
                           std::error_code(bytes.error().systemError, std::generic_category()));
        }
        content = std::move(bytes).value();
        break;
    }
    const quorvel::Result<fs::path> written = quorvel::WriteFileAtomically(target, content);
    if (!written) {
        return Failure("无法写入配置文件", target,
                       std::error_code(written.error().systemError, std::generic_category()));
    }
    return {};
}

// Whether the folder's cascade entry already serves: a link that resolves to
// the wanted cascade, or a regular file put there by the user.
bool CascadeServes(const fs::path& entry, const fs::path& cascade) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(entry, ec);
    if (fs::is_symlink(status)) {
        return fs::read_symlink(entry, ec) == cascade && !ec && fs::is_regular_file(entry, ec);
    }
    return fs::is_regular_file(status);
}

Result<void> InstallCascade(const UserFolderSources& sources, const fs::path& folder) {
    const fs::path target = folder / kCascadeFileName;
    if (CascadeServes(target, sources.cascade)) {
        return {};
    }

    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(target, ec))) {
        return Failure("人脸检测文件的位置被一个文件夹占用", target, {}, ErrorKind::IsFolder);
    }
    if (!fs::is_regular_file(sources.cascade, ec)) {
        return Failure("人脸检测文件缺失（请安装 opencv-data）", sources.cascade, ec,
                       ErrorKind::NotFound);
    }

    // A link follows updates of the system's copy; a copy where the file
    // system has no links.
    const fs::path staging = StagingName(target);
    fs::remove(staging, ec);
    fs::create_symlink(sources.cascade, staging, ec);
    if (ec) {
        // No links here: a copy, written whole or not at all.
        quorvel::Result<quorvel::RegularFile> file = quorvel::RegularFile::Open(sources.cascade);
        quorvel::Result<std::string> bytes =
            file ? file->ReadAll(kMaxCascadeBytes) : quorvel::Result<std::string>(file.error());
        const quorvel::Result<fs::path> written = bytes
                                                      ? quorvel::WriteFileAtomically(target, *bytes)
                                                      : quorvel::Result<fs::path>(bytes.error());
        if (!written) {
            return Failure("无法复制人脸检测文件", target,
                           std::error_code(written.error().systemError, std::generic_category()));
        }
        return {};
    }
    fs::rename(staging, target, ec);
    if (ec) {
        const quorvel::Error error = Failure("无法放置人脸检测文件", target, ec);
        fs::remove(staging, ec);
        return error;
    }
    return {};
}

}  // namespace

UserFolderSources InstalledUserFolderSources() {
    UserFolderSources sources;
    sources.defaultConfigs = quorvel::InstalledDefaultConfigs();
    sources.cascade = quorvel::SystemCascadePath();
    sources.home = EnvOrEmpty("HOME");
    sources.xdgDataHome = EnvOrEmpty("XDG_DATA_HOME");
    return sources;
}

Result<fs::path> UserFolderPath(const UserFolderSources& sources) {
    std::optional<fs::path> folder = quorvel::UserDataFolder(sources.home, sources.xdgDataHome);
    if (!folder) {
        return quorvel::Fail(ErrorKind::NotFound,
                             "无法确定工作文件夹：环境变量 HOME 未设置或不是绝对路径。");
    }
    return *folder;
}

Result<fs::path> PrepareUserFolder(const UserFolderSources& sources) {
    Result<fs::path> place = UserFolderPath(sources);
    if (!place) {
        return place;
    }
    const fs::path folder = *place;

    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        return Failure("无法创建工作文件夹", folder, ec);
    }
    if (Result<void> installed = InstallConfig(sources, folder); !installed) {
        return installed.error();
    }
    if (Result<void> installed = InstallCascade(sources, folder); !installed) {
        return installed.error();
    }
    return folder;
}

bool TakeDesktopFlag(int& argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) != "--desktop") {
        return false;
    }
    for (int i = 1; i < argc; ++i) {
        argv[i] = argv[i + 1];  // argv[argc] is the terminating null
    }
    --argc;
    return true;
}

Result<void> EnterUserFolder(const UserFolderSources& sources) {
    Result<fs::path> prepared = PrepareUserFolder(sources);
    if (!prepared) {
        return prepared.error();
    }
    std::error_code ec;
    fs::current_path(*prepared, ec);
    if (ec) {
        return Failure("无法进入工作文件夹", *prepared, ec);
    }
    return {};
}

bool HoldsStartupFiles(const fs::path& folder) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(folder / kConfigFileName, ec)) ||
           fs::exists(fs::symlink_status(folder / kCascadeFileName, ec));
}

Result<void> ChooseWorkingFolder(int& argc, char** argv, const UserFolderSources& sources,
                                 std::ostream& err) {
    const bool desktop = TakeDesktopFlag(argc, argv);
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    if (!desktop && (ec || HoldsStartupFiles(here))) return {};

    Result<void> entered = EnterUserFolder(sources);
    if (entered && !desktop) {
        err << "quorvel: neither " << kConfigFileName.string() << " nor "
            << kCascadeFileName.string() << " in " << here.string() << "; working in "
            << fs::current_path(ec).string() << " as when started from the desktop entry\n";
    }
    return entered;
}

}  // namespace quorvel::gui
