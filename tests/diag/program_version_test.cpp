// The program version of the about box: the product version string, the
// file version when that is missing, the packed number, and a program
// without version information.
#include <gtest/gtest.h>

#include "platform/version_info.h"
#include "program/diag/program_version.h"

namespace dravik::test {
namespace {

DravikVersionInfo Record(const DravikVersionString* strings, std::uint32_t count) {
    return {platform::kVersionInfoSignature, 1, {2, 7, 300, 4}, {2, 7, 300, 4}, "040904B0", strings, count};
}

TEST(ProgramVersionTest, ProductVersionStringAndPackedFileVersion) {
    const DravikVersionString strings[] = {{"CompanyName", "Quenby"}, {"ProductVersion", "2.7 beta"}};
    const DravikVersionInfo info = Record(strings, 2);
    std::string text;
    // The build number 300 keeps its low eight bits.
    EXPECT_EQ(diag::ProgramVersion(&info, text), (2 << 24) | (7 << 16) | ((300 & 0xFF) << 8) | 4);
    EXPECT_EQ(text, "2.7 beta");
}

TEST(ProgramVersionTest, WithoutAProductVersionTheFileVersionIsShown) {
    const DravikVersionString empty[] = {{"ProductVersion", ""}};
    const DravikVersionString other[] = {{"CompanyName", "Quenby"}};
    for (const DravikVersionInfo& info : {Record(empty, 1), Record(other, 1), Record(nullptr, 0)}) {
        std::string text = "left over";
        EXPECT_EQ(diag::ProgramVersion(&info, text), (2 << 24) | (7 << 16) | (44 << 8) | 4);
        EXPECT_EQ(text, "2.7.300.4");
    }
}

TEST(ProgramVersionTest, NoVersionInformationGivesMinusOneAndNoText) {
    std::string text = "left over";
    EXPECT_EQ(diag::ProgramVersion(nullptr, text), -1);
    EXPECT_TRUE(text.empty());
    DravikVersionInfo damaged = Record(nullptr, 0);
    damaged.signature = 0;
    EXPECT_EQ(diag::ProgramVersion(&damaged, text), -1);
    EXPECT_TRUE(text.empty());
}

TEST(ProgramVersionTest, TheTestProgramCarriesTheProjectVersion) {
    std::string text;
    EXPECT_GT(diag::ProgramVersion(text), 0);
    EXPECT_EQ(text, DRAVIK_TEST_PROJECT_VERSION);
}

}  // namespace
}  // namespace dravik::test
