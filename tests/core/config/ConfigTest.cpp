#include <gtest/gtest.h>

#include "core/config/Settings.h"
#include "support/TestSupport.h"

using namespace quorvel;
using testsupport::TempDir;
using testsupport::WriteBytes;

TEST(Config, MissingFileCannotBeOpened) {
    TempDir dir;
    const Result<SettingsFile> file = ReadSettings(dir / "cfg.ini");
    EXPECT_FALSE(file.ok());
}

TEST(Config, ParsingRules) {
    struct Row {
        const char* description;
        std::string content;
        int color;
        int size;
    };
    const Row rows[] = {
        {"minimal file", "[set]\ncolor=0\nsize=2\n", 0, 2},
        {"empty file takes the defaults", "", 3, 1},
        {"no section set takes the defaults", "[other]\ncolor=1\n", 3, 1},
        {"upper and mixed case match", "[SET]\nColor=2\nSIZE=2\n", 2, 2},
        {"colon separator", "[set]\ncolor:1\nsize : 2\n", 1, 2},
        {"inline comment after a space", "[set]\ncolor=2 ; remark\n", 2, 1},
        {"semicolon straight after the value", "[set]\ncolor=2;remark\n", 2, 1},
        {"repeated key: the first number wins", "[set]\ncolor=1\ncolor=2\n", 1, 1},
        {"indented line continues the previous key", "[set]\ncolor=1\n  size=2\n", 1, 1},
        {"spaces inside the brackets name another section", "[ set ]\ncolor=1\nsize=2\n", 3, 1},
        {"08 stops at the digit 8", "[set]\ncolor=08\n", 0, 1},
        {"010 is octal", "[set]\ncolor=010\n", 8, 1},
        {"0x2 is hexadecimal", "[set]\nsize=0x2\n", 3, 2},
        {"-1 is kept", "[set]\ncolor=-1\n", -1, 1},
        {"2 followed by letters", "[set]\nsize=2abc\n", 3, 2},
        {"letters alone take the default", "[set]\ncolor=abc\nsize=\n", 3, 1},
        {"key before any section is ignored", "color=1\n[set]\nsize=2\n", 3, 2},
        {"byte-order mark on the first line", "\xEF\xBB\xBF[set]\ncolor=2\n", 2, 1},
        {"syntax errors do not stop the parse", "[set\ngarbage\n[set]\ncolor=1\n", 1, 1},
        {"comments", "; c\n# c\n[set]\ncolor=0\n", 0, 1},
        {"out of range saturates at 32 bits", "[set]\ncolor=99999999999\nsize=-99999999999\n",
         2147483647, -2147483647 - 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        TempDir dir;
        WriteBytes(dir / "cfg.ini", row.content);
        const Result<SettingsFile> file = ReadSettings(dir / "cfg.ini");
        EXPECT_TRUE(file.ok());
        EXPECT_EQ(static_cast<int>(file->settings.color), row.color);
        EXPECT_EQ(static_cast<int>(file->settings.size), row.size);
    }
}

TEST(Config, SyntaxErrorIsReportedButNotFatal) {
    TempDir dir;
    WriteBytes(dir / "cfg.ini", "[set]\nnonsense\ncolor=1\n");
    const Result<SettingsFile> file = ReadSettings(dir / "cfg.ini");
    EXPECT_EQ(file->errorLine, 2);
    EXPECT_TRUE(file.ok());
    EXPECT_EQ(file->settings.color, BackgroundColor::Red);
}

// The one resolution every program uses: the caller's values first, the
// file's for the others, the file read only when one is missing.
TEST(Config, ResolveSettingsTakesTheCallersValuesThenTheFile) {
    TempDir dir;
    WriteBytes(dir / "cfg.ini", "[set]\ncolor=7\nsize=2\n");
    struct Row {
        const char* description;
        SettingsRequest request;
        int color;
        int size;
        bool fileRead;
        bool known;  // what a program that refuses unknown values decides
    };
    const Row rows[] = {
        {"the file's values, kept out of range", {dir / "cfg.ini", {}, {}}, 7, 2, true, false},
        {"an option replaces the file's colour",
         {dir / "cfg.ini", BackgroundColor::Blue, {}},
         2,
         2,
         true,
         true},
        {"both given: the file is not read",
         {dir / "missing.ini", BackgroundColor::Red, SizeMode::Mode1},
         1,
         1,
         false,
         true},
        {"no file: the defaults", {std::nullopt, {}, {}}, 3, 1, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        const Result<ResolvedSettings> resolved = ResolveSettings(row.request);
        ASSERT_TRUE(resolved.ok());
        EXPECT_EQ(static_cast<int>(resolved->settings.color), row.color);
        EXPECT_EQ(static_cast<int>(resolved->settings.size), row.size);
        EXPECT_EQ(resolved->file.has_value(), row.fileRead);
        EXPECT_EQ(RequireKnownValues(*resolved).ok(), row.known);
    }
    const Result<void> refused = RequireKnownValues(*ResolveSettings({dir / "cfg.ini", {}, {}}));
    EXPECT_EQ(refused.error().message,
              "\"" + (dir / "cfg.ini").string() + "\": color 7 is not 0, 1, 2 or 3");
    const Result<ResolvedSettings> missing = ResolveSettings({dir / "missing.ini", {}, {}});
    EXPECT_EQ(missing.error().kind, ErrorKind::ConfigUnusable);
    EXPECT_EQ(ListValues(kSizeValues, "或"), "1 或 2");
}
