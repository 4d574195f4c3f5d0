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
