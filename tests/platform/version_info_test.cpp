// The version information this test program carries, found the way the
// settings code finds the main program's.
#include <gtest/gtest.h>

#include "platform/version_info.h"

using namespace dravik::platform;

TEST(VersionInfo, MainProgramRecordAnswersByBlockPath) {
    const DravikVersionInfo* info = MainProgramVersionInfo();
    ASSERT_NE(info, nullptr) << "the test program is linked with its version information";
    std::string value;
    ASSERT_TRUE(QueryVersionValue(info, "\\StringFileInfo\\040904B0\\CompanyName", value));
    EXPECT_EQ(value, "Quenby");
    EXPECT_TRUE(QueryVersionValue(info, "\\StringFileInfo\\040904b0\\productname", value)) << "paths ignore case";
    EXPECT_EQ(value, "Dravik");
    ASSERT_TRUE(QueryVersionValue(info, "\\StringFileInfo\\040904B0\\FileVersion", value));
    EXPECT_EQ(value, DRAVIK_TEST_PROJECT_VERSION);
    EXPECT_TRUE(QueryVersionValue(info, "\\StringFileInfo\\040904B0\\LegalCopyright", value));
    EXPECT_NE(value.find("Quenby"), std::string::npos);
    EXPECT_TRUE(QueryVersionValue(info, "\\StringFileInfo\\040904B0\\FileDescription", value));

    EXPECT_FALSE(QueryVersionValue(info, "\\StringFileInfo\\040704B0\\CompanyName", value)) << "another language";
    EXPECT_FALSE(QueryVersionValue(info, "\\StringFileInfo\\040904B0\\Company", value));
    EXPECT_FALSE(QueryVersionValue(info, "\\VarFileInfo\\Translation", value));
    EXPECT_FALSE(QueryVersionValue(info, "\\StringFileInfo\\040904B0", value));
    EXPECT_FALSE(QueryVersionValue(nullptr, "\\StringFileInfo\\040904B0\\CompanyName", value));
    EXPECT_EQ(info->fileVersion[0] * 10000 + info->fileVersion[1] * 100 + info->fileVersion[2],
              DRAVIK_TEST_VERSION_NUMBER);
}
