// The per-user working folder of the desktop launcher, in a temporary HOME.
//
// Needs QUORVEL_PACKAGING_DIR, the path of packaging/ (the installed cfg.ini).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/config/UserFolderSetup.h"
#include "gui/UserFolder.h"
#include "support/TestSupport.h"

using namespace quorvel;
using namespace quorvel::gui;

#ifndef QUORVEL_PACKAGING_DIR
#error "QUORVEL_PACKAGING_DIR must name the packaging directory"
#endif

namespace fs = std::filesystem;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

const std::string kDefaultConfig = "[set]\ncolor=3\nsize=1\n";
const std::string kCascadeBytes = "<opencv_storage>cascade</opencv_storage>\n";

// A temporary HOME with an "installed" default cfg.ini and cascade beside it.
struct Sandbox {
    TempDir dir;
    UserFolderSources sources;

    Sandbox() {
        fs::create_directories(dir / "home");
        fs::create_directories(dir / "system");
        WriteBytes(dir / "system/cfg.ini", kDefaultConfig);
        WriteBytes(dir / "system/cascade.xml", kCascadeBytes);
        sources.defaultConfigs = {dir / "system/cfg.ini"};
        sources.cascade = dir / "system/cascade.xml";
        sources.home = (dir / "home").string();
    }
    fs::path folder() const { return dir / "home/.local/share/quorvel"; }
};

fs::path Prepared(const UserFolderSources& sources) {
    auto result = PrepareUserFolder(sources);
    if (!result) {
        ADD_FAILURE() << "unexpected error: " << result.error().message;
        return {};
    }
    return *result;
}

Error ErrorOf(const UserFolderSources& sources) {
    auto result = PrepareUserFolder(sources);
    if (!result) {
        return result.error();
    }
    ADD_FAILURE() << "expected an error, got " << *result;
    return {};
}

TEST(UserFolder, FirstStartCreatesFolderWithConfigAndCascade) {
    Sandbox box;
    ASSERT_FALSE(fs::exists(box.dir / "home/.local"));

    EXPECT_EQ(Prepared(box.sources), box.folder());

    EXPECT_EQ(ReadBytes(box.folder() / "cfg.ini"), kDefaultConfig);
    const fs::path cascade = box.folder() / "haarcascade_frontalface_alt2.xml";
    ASSERT_TRUE(fs::is_symlink(cascade));
    EXPECT_EQ(fs::read_symlink(cascade), box.sources.cascade);
    EXPECT_EQ(ReadBytes(cascade), kCascadeBytes);
    // Nothing else is left behind (no staging files).
    EXPECT_EQ(std::distance(fs::directory_iterator(box.folder()), fs::directory_iterator()), 2);
}

TEST(UserFolder, LaterStartsNeverReplaceTheUsersConfig) {
    Sandbox box;
    Prepared(box.sources);
    WriteBytes(box.folder() / "cfg.ini", "[set]\ncolor=2\nsize=2\n");
    // Even a changed installed default does not reach an existing copy.
    WriteBytes(box.dir / "system/cfg.ini", "[set]\ncolor=0\nsize=1\n");

    Prepared(box.sources);
    Prepared(box.sources);

    EXPECT_EQ(ReadBytes(box.folder() / "cfg.ini"), "[set]\ncolor=2\nsize=2\n");
}

TEST(UserFolder, CopiedConfigIsWritableByItsOwner) {
    Sandbox box;
    fs::permissions(box.dir / "system/cfg.ini", fs::perms::owner_read | fs::perms::group_read);
    Prepared(box.sources);
    const fs::perms perms = fs::status(box.folder() / "cfg.ini").permissions();
    EXPECT_NE(perms & fs::perms::owner_write, fs::perms::none);
}

TEST(UserFolder, PlacedByXdgDataHomeOrHome) {
    struct Row {
        const char* description;
        std::string xdg;  // relative to the sandbox unless it starts with '!'
        std::string expected;
    };
    const Row rows[] = {
        {"unset XDG_DATA_HOME: ~/.local/share", "", "home/.local/share/quorvel"},
        {"absolute XDG_DATA_HOME is used", "data", "data/quorvel"},
        {"relative XDG_DATA_HOME is ignored", "!data", "home/.local/share/quorvel"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        Sandbox box;
        if (row.xdg.empty()) {
            box.sources.xdgDataHome.clear();
        } else if (row.xdg[0] == '!') {
            box.sources.xdgDataHome = row.xdg.substr(1);
        } else {
            box.sources.xdgDataHome = (box.dir / row.xdg).string();
        }
        const fs::path folder = Prepared(box.sources);
        EXPECT_EQ(folder, box.dir / row.expected);
        EXPECT_EQ(ReadBytes(folder / "cfg.ini"), kDefaultConfig);
        EXPECT_EQ(ReadBytes(folder / "haarcascade_frontalface_alt2.xml"), kCascadeBytes);
    }
}

TEST(UserFolder, FirstExistingDefaultConfigIsCopiedElseTheBuiltInOne) {
    Sandbox box;
    WriteBytes(box.dir / "system/other.ini", "[set]\ncolor=1\n");
    box.sources.defaultConfigs = {box.dir / "nowhere/cfg.ini", box.dir / "system/other.ini",
                                  box.dir / "system/cfg.ini"};
    EXPECT_EQ(ReadBytes(Prepared(box.sources) / "cfg.ini"), "[set]\ncolor=1\n");

    Sandbox bare;
    bare.sources.defaultConfigs = {bare.dir / "nowhere/cfg.ini"};
    EXPECT_EQ(ReadBytes(Prepared(bare.sources) / "cfg.ini"), std::string(kBuiltInConfig));
}

TEST(UserFolder, BuiltInConfigEqualsTheInstalledOne) {
    EXPECT_EQ(std::string(kBuiltInConfig), ReadBytes(fs::path(QUORVEL_PACKAGING_DIR) / "cfg.ini"));
}

TEST(UserFolder, CascadeEntryIsRepairedOrKept) {
    struct Row {
        const char* description;
        void (*arrange)(const Sandbox&, const fs::path& entry);
        bool expectLink;  // else the user's file is kept
        std::string expectedBytes;
    };
    const Row rows[] = {
        {"dangling link is replaced",
         [](const Sandbox& box, const fs::path& entry) {
             fs::create_symlink(box.dir / "gone/cascade.xml", entry);
         },
         true, kCascadeBytes},
        {"link to an old cascade is aimed at the current one",
         [](const Sandbox& box, const fs::path& entry) {
             WriteBytes(box.dir / "system/old.xml", "old");
             fs::create_symlink(box.dir / "system/old.xml", entry);
         },
         true, kCascadeBytes},
        {"a regular file put there by the user is kept",
         [](const Sandbox&, const fs::path& entry) { WriteBytes(entry, "user's cascade"); }, false,
         "user's cascade"},
        {"removed entry is linked again", [](const Sandbox&, const fs::path&) {}, true,
         kCascadeBytes},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        Sandbox box;
        fs::create_directories(box.folder());
        const fs::path entry = box.folder() / "haarcascade_frontalface_alt2.xml";
        row.arrange(box, entry);

        Prepared(box.sources);

        EXPECT_EQ(fs::is_symlink(entry), row.expectLink);
        if (row.expectLink) {
            EXPECT_EQ(fs::read_symlink(entry), box.sources.cascade);
        }
        EXPECT_EQ(ReadBytes(entry), row.expectedBytes);
    }
}

TEST(UserFolder, FailuresGiveATextAndLeaveNoFiles) {
    struct Row {
        const char* description;
        void (*arrange)(Sandbox&);
        std::string expectedPart;
        ErrorKind kind;  // with the path, what the window words
    };
    const Row rows[] = {
        {"HOME unset", [](Sandbox& box) { box.sources.home.clear(); }, "HOME", ErrorKind::NotFound},
        {"relative HOME", [](Sandbox& box) { box.sources.home = "home"; }, "HOME",
         ErrorKind::NotFound},
        {"HOME below a regular file",
         [](Sandbox& box) {
             WriteBytes(box.dir / "file", "x");
             box.sources.home = (box.dir / "file/home").string();
         },
         "cannot create the per-user folder", ErrorKind::WriteFailed},
        {"HOME in a file system nobody writes",
         [](Sandbox& box) { box.sources.home = "/proc/quorvel-home"; }, "/proc/quorvel-home",
         ErrorKind::WriteFailed},
        {"cascade not installed",
         [](Sandbox& box) { box.sources.cascade = box.dir / "system/missing.xml"; }, "opencv-data",
         ErrorKind::NotFound},
        {"cascade name taken by a folder",
         [](Sandbox& box) {
             fs::create_directories(box.folder() / "haarcascade_frontalface_alt2.xml");
         },
         "haarcascade_frontalface_alt2.xml", ErrorKind::IsFolder},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        Sandbox box;
        row.arrange(box);
        const Error error = ErrorOf(box.sources);
        EXPECT_NE(error.message.find(row.expectedPart), std::string::npos) << error.message;
        EXPECT_EQ(error.kind, row.kind) << error.message;
        if (fs::exists(box.folder())) {
            for (const auto& item : fs::directory_iterator(box.folder())) {
                EXPECT_EQ(item.path().string().find(".quorvel-"), std::string::npos) << item.path();
            }
        }
    }
}

TEST(UserFolder, UnwritableHomeGivesAnError) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    Sandbox box;
    fs::permissions(box.dir / "home", fs::perms::owner_read | fs::perms::owner_exec);
    const Error error = ErrorOf(box.sources);
    fs::permissions(box.dir / "home", fs::perms::owner_all);
    EXPECT_EQ(error.kind, ErrorKind::WriteFailed) << error.message;
    EXPECT_EQ(error.path, box.folder()) << error.message;
}

TEST(UserFolder, DesktopFlagIsTakenOnlyAsFirstArgument) {
    struct Row {
        const char* description;
        std::vector<std::string> args;
        bool taken;
        std::vector<std::string> remaining;
    };
    const Row rows[] = {
        {"flag and photo", {"quorvel", "--desktop", "/p/a.jpg"}, true, {"quorvel", "/p/a.jpg"}},
        {"flag alone (%f empty)", {"quorvel", "--desktop"}, true, {"quorvel"}},
        {"no flag", {"quorvel", "/p/a.jpg"}, false, {"quorvel", "/p/a.jpg"}},
        {"flag after a photo is a photo name",
         {"quorvel", "/p/a.jpg", "--desktop"},
         false,
         {"quorvel", "/p/a.jpg", "--desktop"}},
        {"program name only", {"quorvel"}, false, {"quorvel"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        std::vector<std::string> storage = row.args;
        std::vector<char*> argv;
        for (std::string& arg : storage) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int argc = static_cast<int>(row.args.size());

        EXPECT_EQ(TakeDesktopFlag(argc, argv.data()), row.taken);

        ASSERT_EQ(argc, static_cast<int>(row.remaining.size()));
        for (int i = 0; i < argc; ++i) {
            EXPECT_EQ(std::string(argv[i]), row.remaining[i]);
        }
        EXPECT_EQ(argv[argc], nullptr);
    }
}

TEST(UserFolder, EnterMovesIntoTheFolderOnlyWhenReady) {
    Sandbox box;
    testsupport::ScopedCwd restore(box.dir.path());

    box.sources.cascade = box.dir / "system/missing.xml";
    EXPECT_FALSE(EnterUserFolder(box.sources).ok());
    EXPECT_EQ(fs::current_path(), box.dir.path());

    box.sources.cascade = box.dir / "system/cascade.xml";
    EXPECT_TRUE(EnterUserFolder(box.sources).ok());
    EXPECT_EQ(fs::current_path(), box.folder());
    EXPECT_EQ(ReadBytes("cfg.ini"), kDefaultConfig);
}

// The sources of the installed program: the environment and Debian's cascade.
TEST(UserFolder, InstalledSourcesFollowTheEnvironment) {
    TempDir dir;
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);

    auto result = PrepareUserFolder(InstalledUserFolderSources());

    if (oldXdg) {
        ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
    ASSERT_TRUE(result.ok()) << result.error().message;
    const fs::path folder = *result;
    EXPECT_EQ(folder, dir / "quorvel");
    EXPECT_EQ(ReadBytes(folder / "cfg.ini"), kDefaultConfig);
    EXPECT_EQ(ReadBytes(folder / "haarcascade_frontalface_alt2.xml"),
              ReadBytes(QUORVEL_TEST_CASCADE));
}

}  // namespace
