// The settings in the program's registry key: the guidance answers, the
// temporary folder, the stored window placement and column widths, the
// switches read and written, and the clean-up of the temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <set>

#include "device/regstore/registry_store.h"
#include "program/diag/debug_log.h"
#include "program/settings/settings.h"
#include "program/app/settings_store.h"
#include "support/temp_dir.h"

namespace dravik::test {
namespace {

using settings::kNoGuidanceAnswer;
using settings::ProgramSettings;

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("DRAVIK_CONFIG_DIR", home_.path().c_str(), 1);
        settings::ResetSettings();
        diag::DebugMode = false;
    }
    void TearDown() override {
        settings::ResetSettings();
        diag::DebugMode = false;
    }
    static std::set<std::string> ValueNames() {
        ::RegistryStore store;
        std::set<std::string> names;
        if (!store.Open(app::kProgramKeyName)) return names;
        char name[256];
        for (uint32_t i = 0; store.EnumValue(i, name, sizeof name) > 0; ++i) names.insert(name);
        return names;
    }
    TempDir home_;
};

TEST(GuideUser, ThreePiecesGiveThreeAnswersAndWriteBackAsTen) {
    std::uint8_t answers[settings::kGuidanceAnswers];
    app::ParseGuideUser("1,0,1", answers);
    EXPECT_EQ(answers[0], 1);
    EXPECT_EQ(answers[1], 0);
    EXPECT_EQ(answers[2], 1);
    for (int i = 3; i < settings::kGuidanceAnswers; ++i) EXPECT_EQ(answers[i], kNoGuidanceAnswer) << i;
    // "No answer yet" is written as 1.
    EXPECT_EQ(app::FormatGuideUser(answers), "1,0,1,1,1,1,1,1,1,1");
}

TEST(GuideUser, MalformedPiecesCountAsZeroAndExtraPiecesAreIgnored) {
    struct Row {
        const char* text;
        std::uint8_t first[4];
    } rows[] = {
        {"x,1,,7", {0, 1, 0, 1}},
        {"-3, 2,0x1,1z", {1, 1, 0, 1}},
        {",,,", {0, 0, 0, 0}},
        {"", {kNoGuidanceAnswer, kNoGuidanceAnswer, kNoGuidanceAnswer, kNoGuidanceAnswer}},
    };
    for (const Row& row : rows) {
        std::uint8_t answers[settings::kGuidanceAnswers];
        app::ParseGuideUser(row.text, answers);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(answers[i], row.first[i]) << row.text << " piece " << i;
    }
    std::uint8_t answers[settings::kGuidanceAnswers];
    app::ParseGuideUser("0,0,0,0,0,0,0,0,0,0,1,1,1", answers);
    EXPECT_EQ(app::FormatGuideUser(answers), "0,0,0,0,0,0,0,0,0,0");
}

TEST(TempPath, GetsOneTrailingSlashAndIsCut) {
    EXPECT_EQ(app::NormaliseTempPath("/var/tmp"), "/var/tmp/");
    EXPECT_EQ(app::NormaliseTempPath("/var/tmp/"), "/var/tmp/");
    EXPECT_EQ(app::NormaliseTempPath(""), settings::Settings::DefaultTempPath()) << "never the root folder";
    const std::string cut = app::NormaliseTempPath("/" + std::string(400, 'a'));
    EXPECT_EQ(cut.size(), settings::kMaxTempPath);
    EXPECT_EQ(cut.back(), '/');
}

TEST(WindowPlacementText, RoundTripsAndRejectsAnythingMalformed) {
    app::WindowPlacement placement;
    placement.flags = 0;
    placement.showState = 3;
    placement.left = 12;
    placement.top = -4;
    placement.right = 812;
    placement.bottom = 596;
    const std::string text = app::FormatWindowPlacement(placement);
    EXPECT_EQ(text, "0,3,(-1,-1),(-1,-1).(12,-4,812,596)");
    auto back = app::ParseWindowPlacement(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->showState, 3);
    EXPECT_EQ(back->top, -4);
    EXPECT_EQ(back->bottom, 596);
    for (const char* bad : {"", "0,1,(0,0),(0,0).(1,2,3)", "0,1,(0,0),(0,0),(1,2,3,4)", "0,1,0,0,0,0,1,2,3,4",
                            "a,1,(0,0),(0,0).(1,2,3,4)", "0,1,(0,0),(0,0).(1,2,3,99999999999)"}) {
        EXPECT_FALSE(app::ParseWindowPlacement(bad)) << bad;
    }
}

TEST(ColumnWidthsText, ReadsNumbersInOrderUntilOneFails) {
    using W = app::ColumnWidths;
    EXPECT_EQ(app::ParseColumnWidths("150,55,80,115,90"), (W{150, 55, 80, 115, 90}));
    EXPECT_EQ(app::ParseColumnWidths("200,60,90,120,0"), (W{200, 60, 90, 120, 0}));
    EXPECT_EQ(app::ParseColumnWidths("200,x,1,1,1"), (W{200, 55, 80, 115, 90}));
    EXPECT_EQ(app::ParseColumnWidths("garbage"), app::kDefaultColumnWidths);
    EXPECT_EQ(app::ParseColumnWidths("-5,99999,70"), (W{150, 55, 70, 115, 90})) << "impossible widths keep defaults";
    EXPECT_EQ(app::FormatColumnWidths(W{1, 2, 3, 4, 0}), "1,2,3,4,0");
}

TEST_F(SettingsStoreTest, DefaultsWithoutStoredValues) {
    app::ReadSettings();
    EXPECT_EQ(ProgramSettings.RemoveVersion, 1);
    EXPECT_EQ(ProgramSettings.SavePos, 1);
    EXPECT_EQ(ProgramSettings.SortInitial, 1);
    EXPECT_EQ(ProgramSettings.AutoStart, 1);
    EXPECT_EQ(ProgramSettings.IgnoreJoliet, 0);
    EXPECT_EQ(ProgramSettings.ShowAll, 0);
    EXPECT_EQ(ProgramSettings.PromptSuppress, 1) << "set whenever the settings are read";
    EXPECT_EQ(ProgramSettings.GuideUser[0], kNoGuidanceAnswer);
    EXPECT_EQ(ProgramSettings.TempPath.back(), '/');
    EXPECT_FALSE(diag::DebugMode);
    EXPECT_TRUE(ValueNames().empty()) << "reading writes nothing";
}

TEST_F(SettingsStoreTest, StoredValuesAreReadAndAStoredZeroKeepsCommandLineDebugMode) {
    {
        ::RegistryStore store;
        ASSERT_TRUE(store.Open(app::kProgramKeyName));
        store.WriteFlag("DebugMode", false);
        store.WriteFlag("RemoveVersion", false);
        store.WriteNumber("IgnoreJoliet", 7);  // any nonzero number is on
        store.WriteString("ShowAll", "1");     // a text is not a switch: the default stays
        store.WriteString("GuideUser", "1,0,1");
        store.WriteString("TempPath", "/var/tmp/dravik-work");
    }
    diag::DebugMode = true;  // -D
    app::ReadSettings();
    EXPECT_TRUE(diag::DebugMode);
    EXPECT_EQ(ProgramSettings.RemoveVersion, 0);
    EXPECT_EQ(ProgramSettings.IgnoreJoliet, 1);
    EXPECT_EQ(ProgramSettings.ShowAll, 0);
    EXPECT_EQ(ProgramSettings.GuideUser[2], 1);
    EXPECT_EQ(ProgramSettings.GuideUser[3], kNoGuidanceAnswer);
    EXPECT_EQ(ProgramSettings.TempPath, "/var/tmp/dravik-work/");
}

TEST_F(SettingsStoreTest, WritingStoresTheSwitchesAndGuidanceButNeverTheTemporaryFolder) {
    ProgramSettings.KeepUDFDups = 1;
    ProgramSettings.GuideUser[1] = 0;
    ProgramSettings.TempPath = "/elsewhere/";
    ProgramSettings.IntensiveScan = 1;
    app::WriteSettings();
    EXPECT_EQ(ValueNames(), (std::set<std::string>{"DebugMode", "RemoveVersion", "IgnoreJoliet", "CopyPrompt",
                                                   "SavePos", "SortInitial", "AcceptErrors", "KeepUDFDups",
                                                   "AutoStart", "ShowAll", "GuideUser"}));
    ::RegistryStore store;
    ASSERT_TRUE(store.Open(app::kProgramKeyName));
    EXPECT_TRUE(store.ReadFlag("KeepUDFDups", false));
    EXPECT_EQ(store.ReadNumber("SavePos", 9), 1u);
    EXPECT_EQ(store.ReadString("GuideUser", ""), "1,0,1,1,1,1,1,1,1,1");
}

TEST_F(SettingsStoreTest, RemoveTempFilesDeletesOnlyPlainFilesOfItsOwnFolder) {
    namespace fs = std::filesystem;
    TempDir temp;
    ProgramSettings.TempPath = temp.path() + "/";
    app::RemoveTempFiles();  // no folder: nothing happens
    const fs::path own = temp.path() + "/Dravik";
    fs::create_directories(own / "sub");
    temp.Write("Dravik/work1.tmp", "x");
    temp.Write("Dravik/sub/kept.tmp", "x");
    temp.Write("outside.tmp", "x");
    fs::create_symlink(temp.File("outside.tmp"), own / "link");
    app::RemoveTempFiles();
    EXPECT_FALSE(fs::exists(own / "work1.tmp"));
    EXPECT_TRUE(fs::exists(own / "sub" / "kept.tmp"));
    EXPECT_TRUE(fs::exists(temp.File("outside.tmp")));
    EXPECT_TRUE(fs::is_symlink(own / "link"));
    EXPECT_TRUE(fs::is_directory(own));
}

}  // namespace
}  // namespace dravik::test
