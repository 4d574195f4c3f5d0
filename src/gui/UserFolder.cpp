#include "gui/UserFolder.h"

#include <cstdlib>
#include <ostream>
#include <string>
#include <system_error>

#include "core/audit/FaceDetect.h"
#include "core/common/ErrorText.h"
#include "core/config/ConfigPlaces.h"
#include "core/config/Settings.h"
#include "core/io/FileStatus.h"
#include "core/session/Session.h"

namespace quorvel::gui {

namespace fs = std::filesystem;

using quorvel::ErrorKind;
using quorvel::Result;

namespace {

// The names the window looks for in its working directory.
const fs::path kConfigFileName = quorvel::kDefaultConfigPath.filename();
const fs::path& kCascadeFileName = quorvel::kCascadeFileName;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

quorvel::UserFolderSources InstalledUserFolderSources() {
    quorvel::UserFolderSources sources;
    sources.defaultConfigs = quorvel::InstalledDefaultConfigs();
    sources.cascade = quorvel::SystemCascadePath();
    sources.home = EnvOrEmpty("HOME");
    sources.xdgDataHome = EnvOrEmpty("XDG_DATA_HOME");
    return sources;
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

Result<void> EnterUserFolder(const quorvel::UserFolderSources& sources) {
    Result<fs::path> prepared = quorvel::PrepareUserFolder(sources);
    if (!prepared) {
        return prepared.error();
    }
    std::error_code ec;
    fs::current_path(*prepared, ec);
    if (ec) {
        return quorvel::Fail(
            ErrorKind::NotReadable,
            quorvel::ErrnoText("cannot enter the per-user folder " + quorvel::Quoted(*prepared),
                               ec.value()),
            ec.value(), *prepared);
    }
    return {};
}

bool HoldsStartupFiles(const fs::path& folder) {
    using quorvel::Links;
    return quorvel::StatusOf(folder / kConfigFileName, Links::Keep).exists() ||
           quorvel::StatusOf(folder / kCascadeFileName, Links::Keep).exists();
}

Result<void> ChooseWorkingFolder(int& argc, char** argv, const quorvel::UserFolderSources& sources,
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
