#include "core/config/UserFolderSetup.h"

#include <optional>

#include "core/audit/FaceDetect.h"
#include "core/common/ErrorText.h"
#include "core/config/ConfigPlaces.h"
#include "core/config/Settings.h"
#include "core/io/AtomicFile.h"
#include "core/io/FileStatus.h"
#include "core/io/RegularFile.h"

namespace quorvel {

namespace fs = std::filesystem;

const char kBuiltInConfig[] = "[set]\ncolor=3\nsize=1\n";

namespace {

// The names the window looks for in its working directory.
const fs::path kConfigFileName = kDefaultConfigPath.filename();

// Larger files than these are not what the installed copies are.
constexpr std::uintmax_t kMaxConfigBytes = 1 << 20;
constexpr std::uintmax_t kMaxCascadeBytes = 64 << 20;

// The step's failure: its kind and path, the cause's errno and message.
Error StepFailed(ErrorKind kind, const std::string& what, const fs::path& path,
                 const Error& cause) {
    return Fail(kind, what + ": " + cause.message, cause.systemError, path);
}

Result<void> InstallConfig(const UserFolderSources& sources, const fs::path& folder) {
    const fs::path target = folder / kConfigFileName;
    if (StatusOf(target, Links::Keep).exists()) return {};  // the user's own settings

    // The first installed default that can be read, else the built-in one.
    // The copy is a new file of the user's, to edit whatever the installed
    // file's mode.
    std::string content = kBuiltInConfig;
    for (const fs::path& candidate : sources.defaultConfigs) {
        Result<RegularFile> file = RegularFile::Open(candidate);
        if (!file) continue;
        Result<std::string> bytes = file->ReadAll(kMaxConfigBytes);
        if (!bytes) {
            return StepFailed(ErrorKind::ConfigUnusable,
                              "cannot copy the default configuration " + Quoted(candidate),
                              candidate, bytes.error());
        }
        content = std::move(bytes).value();
        break;
    }
    if (const Result<fs::path> written = WriteFileAtomically(target, content); !written) {
        return StepFailed(ErrorKind::WriteFailed, "cannot write " + Quoted(target), target,
                          written.error());
    }
    return {};
}

// Whether the folder's cascade entry already serves: a link that resolves to
// the wanted cascade, or a regular file put there by the user.
bool CascadeServes(const fs::path& entry, const fs::path& cascade) {
    const EntryType type = StatusOf(entry, Links::Keep).type;
    if (type == EntryType::Link) {
        return LinkTarget(entry) == cascade && StatusOf(entry).type == EntryType::Regular;
    }
    return type == EntryType::Regular;
}

// A copy of the cascade, written whole or not at all.
Result<void> CopyCascade(const fs::path& cascade, const fs::path& target) {
    Result<RegularFile> file = RegularFile::Open(cascade);
    Result<std::string> bytes = file ? file->ReadAll(kMaxCascadeBytes) : file.error();
    const Result<fs::path> written = bytes ? WriteFileAtomically(target, *bytes) : bytes.error();
    if (!written) {
        return StepFailed(ErrorKind::CascadeUnusable,
                          "cannot copy the face cascade to " + Quoted(target), target,
                          written.error());
    }
    return {};
}

Result<void> InstallCascade(const UserFolderSources& sources, const fs::path& folder) {
    const fs::path target = folder / kCascadeFileName;
    if (CascadeServes(target, sources.cascade)) return {};

    if (StatusOf(target, Links::Keep).type == EntryType::Folder) {
        return Fail(ErrorKind::IsFolder,
                    Quoted(target) + " is a folder where the face cascade belongs", 0, target);
    }
    if (const EntryStatus system = StatusOf(sources.cascade); system.type != EntryType::Regular) {
        return Fail(
            ErrorKind::NotFound,
            "the face cascade " + Quoted(sources.cascade) + " is missing (install opencv-data)",
            system.systemError, sources.cascade);
    }

    // A link follows updates of the system's copy; a copy where the file
    // system has no links.
    const Result<void> linked = PlaceSymlink(sources.cascade, target);
    if (!linked && linked.error().kind == ErrorKind::WriteFailed) {
        return CopyCascade(sources.cascade, target);
    }
    if (!linked) {
        return Fail(ErrorKind::WriteFailed, linked.error().message, linked.error().systemError,
                    target);
    }
    return {};
}

}  // namespace

Result<fs::path> UserFolderPath(const UserFolderSources& sources) {
    std::optional<fs::path> folder = UserDataFolder(sources.home, sources.xdgDataHome);
    if (!folder) {
        return Fail(ErrorKind::NotFound,
                    "cannot name the per-user folder: HOME is unset or not an absolute path");
    }
    return *folder;
}

Result<fs::path> PrepareUserFolder(const UserFolderSources& sources) {
    Result<fs::path> place = UserFolderPath(sources);
    if (!place) return place;
    const fs::path folder = *place;

    if (const Result<void> created = CreateFolders(folder); !created) {
        const int code = created.error().systemError;
        return Fail(ErrorKind::WriteFailed,
                    ErrnoText("cannot create the per-user folder " + Quoted(folder), code), code,
                    folder);
    }
    if (Result<void> installed = InstallConfig(sources, folder); !installed) {
        return installed.error();
    }
    if (Result<void> installed = InstallCascade(sources, folder); !installed) {
        return installed.error();
    }
    return folder;
}

}  // namespace quorvel
