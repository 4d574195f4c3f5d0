#include <gtest/gtest.h>

#include "audit/AuditState.h"

TEST(AuditState, ValuesPicturesAndLogTextsMatchTheVerdictTable) {
    struct Row {
        int state;
        const char* name;
        int picture;
        const wchar_t* text;
    };
    const Row rows[] = {
        {0, "AUDIT_INITIAL", 137, nullptr},
        {1, "AUDIT_PASSED", 131, L"图像审核成功！"},
        {2, "AUDIT_BAD_BACKGROUND", 134, L"不是纯背景，或者不是红蓝白！"},
        {3, "AUDIT_BAD_FORMAT", 132, L"文件格式不符合要求！"},
        {4, "AUDIT_NO_FACE", 136, L"不是纯背景，或者背景复杂，识别出错！"},
        {5, "AUDIT_BAD_PROPORTION", 135, L"图像比例不符合要求！"},
        {6, "AUDIT_TOO_SMALL", 133, L"图像大小或者尺寸不符合要求！"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(AuditStateName(row.state), row.name);
        EXPECT_EQ(ScreenPictureId(row.state), row.picture);
        if (row.text == nullptr) {
            EXPECT_EQ(VerdictLogText(row.state), nullptr);
        } else {
            EXPECT_STREQ(VerdictLogText(row.state), row.text);
        }
    }
    EXPECT_EQ(AUDIT_TOO_SMALL, 6);
}

TEST(AuditState, ValuesOutsideTheTableHaveNoPictureOrText) {
    for (int state : {-1, 7, 100}) {
        EXPECT_EQ(ScreenPictureId(state), 0);
        EXPECT_EQ(VerdictLogText(state), nullptr);
        EXPECT_STREQ(AuditStateName(state), "");
    }
}
