// The options dialog: what it shows, what its buttons do, what OK stores
// (exactly the values of the settings table) and what it tells the drive.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <map>
#include <set>

#include "device/regstore/registry_store.h"
#include "gui_fixture.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/settings/settings.h"
#include "program/shell/form_loader.h"
#include "program/shell/options_dialog.h"
#include "program/app/settings_store.h"

namespace dravik::test {
namespace {

using settings::ProgramSettings;
using shell::OptionsDialog;

std::map<std::string, std::string> StoredValues() {
    ::RegistryStore store;
    std::map<std::string, std::string> values;
    if (!store.Open(app::kProgramKeyName)) return values;
    char name[256];
    for (uint32_t i = 0; store.EnumValue(i, name, sizeof name) > 0; ++i)
        values[name] = store.ReadString(name, "") + "/" + std::to_string(store.ReadNumber(name, 99));
    return values;
}

QCheckBox* Box(QDialog* dialog, int id) { return shell::FormControl<QCheckBox>(dialog, id); }
void Press(QDialog* dialog, int id) { shell::FormControl<QPushButton>(dialog, id)->click(); }
std::string Text(unsigned id) { return messages::ProgramLanguage().Text(id); }

class OptionsTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        settings::ResetSettings();
    }
    void TearDown() override {
        settings::ResetSettings();
        GuiTest::TearDown();
    }
};

TEST_F(OptionsTest, BoxesShowTheSettingsAndOkWritesExactlyTheTableValues) {
    // Values others keep in the same key are not touched.
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    app::WriteProgramString(app::kTempPathValue, "/var/tmp/");
    ProgramSettings.IgnoreJoliet = 1;
    ProgramSettings.RemoveVersion = 0;
    const auto before = StoredValues();

    OptionsDialog options(nullptr);
    QDialog* dialog = options.Dialog();
    struct Row {
        int box;
        bool shown;
    } rows[] = {{1003, false}, {1004, true}, {1023, false}, {1048, true},  {1051, true},
                {1055, false}, {1089, false}, {1096, false}, {1123, true}, {1126, false}};
    for (const Row& row : rows) EXPECT_EQ(Box(dialog, row.box)->isChecked(), row.shown) << row.box;
    Box(dialog, 1126)->setChecked(true);
    Box(dialog, 1123)->setChecked(false);
    Box(dialog, 1089)->setChecked(true);
    dialog->show();
    SaveScreenshot(dialog, "options_dialog");
    Press(dialog, 1);
    EXPECT_EQ(dialog->result(), 1);

    EXPECT_EQ(ProgramSettings.ShowAll, 1);
    EXPECT_EQ(ProgramSettings.AutoStart, 0);
    EXPECT_EQ(ProgramSettings.IntensiveScan, 1);
    const auto after = StoredValues();
    std::set<std::string> changed;
    for (const auto& [name, value] : after) {
        auto old = before.find(name);
        if (old == before.end() || old->second != value) changed.insert(name);
    }
    EXPECT_EQ(changed, (std::set<std::string>{"DebugMode", "RemoveVersion", "IgnoreJoliet", "CopyPrompt", "SavePos",
                                              "SortInitial", "AcceptErrors", "KeepUDFDups", "AutoStart", "ShowAll",
                                              "GuideUser"}));
    EXPECT_EQ(after.at("LastDevice"), before.at("LastDevice"));
    EXPECT_EQ(after.at("TempPath"), before.at("TempPath"));
    ::RegistryStore store;
    ASSERT_TRUE(store.Open(app::kProgramKeyName));
    EXPECT_TRUE(store.ReadFlag("ShowAll", false));
    EXPECT_FALSE(store.ReadFlag("AutoStart", true));
    EXPECT_FALSE(store.ReadFlag("RemoveVersion", true));
    EXPECT_EQ(store.ReadString("GuideUser", ""), "1,1,1,1,1,1,1,1,1,1");
}

TEST_F(OptionsTest, CancelChangesNothing) {
    OptionsDialog options(nullptr);
    QDialog* dialog = options.Dialog();
    Box(dialog, 1004)->setChecked(true);
    Press(dialog, 1030);
    Press(dialog, 2);
    EXPECT_EQ(dialog->result(), 0);
    EXPECT_EQ(ProgramSettings.IgnoreJoliet, 0);
    EXPECT_FALSE(diag::DebugMode);
    EXPECT_TRUE(StoredValues().empty());
}

TEST_F(OptionsTest, DebugGuidanceAndDefaultButtons) {
    ProgramSettings.ShowAll = 1;
    ProgramSettings.SavePos = 0;
    ProgramSettings.IgnoreChecksums = 1;
    OptionsDialog options(nullptr);
    QDialog* dialog = options.Dialog();
    auto* note = shell::FormControl<QLabel>(dialog, 1031);
    Press(dialog, 1030);
    EXPECT_EQ(note->text().toStdString(), Text(151));
    EXPECT_TRUE(options.Copy().debugMode);
    EXPECT_FALSE(diag::DebugMode) << "only the copy changes before OK";
    Press(dialog, 1030);
    EXPECT_EQ(note->text().toStdString(), Text(152));
    Press(dialog, 1030);

    Press(dialog, 1118);
    EXPECT_EQ(note->text().toStdString(), Text(236));
    for (std::uint8_t answer : options.Copy().block.GuideUser) EXPECT_EQ(answer, 0);

    // Defaults: the intensive-scan box as it was, everything else reset.
    Box(dialog, 1089)->setChecked(true);
    Box(dialog, 1096)->setChecked(true);
    Press(dialog, 1119);
    EXPECT_TRUE(Box(dialog, 1048)->isChecked());
    EXPECT_FALSE(Box(dialog, 1126)->isChecked());
    EXPECT_FALSE(Box(dialog, 1096)->isChecked());
    EXPECT_FALSE(Box(dialog, 1089)->isChecked()) << "the box shows the copy, whose switch was off";
    EXPECT_EQ(options.Copy().block.IgnoreChecksums, 0);

    Press(dialog, 1);
    EXPECT_TRUE(diag::DebugMode);
    EXPECT_EQ(ProgramSettings.SavePos, 1);
    ::RegistryStore store;
    ASSERT_TRUE(store.Open(app::kProgramKeyName));
    EXPECT_EQ(store.ReadString("GuideUser", ""), "0,0,0,0,0,0,0,0,0,0");
    EXPECT_TRUE(store.ReadFlag("DebugMode", false));
}

TEST_F(OptionsTest, DefaultsLeaveTheIntensiveScanBoxAsItWas) {
    ProgramSettings.IntensiveScan = 1;
    OptionsDialog options(nullptr);
    QDialog* dialog = options.Dialog();
    Press(dialog, 1119);
    EXPECT_TRUE(Box(dialog, 1089)->isChecked());
    EXPECT_EQ(options.Copy().block.IntensiveScan, 1);
}

TEST_F(OptionsTest, TurningOnAcceptErrorsWarnsFirst) {
    OptionsDialog options(nullptr);
    QDialog* dialog = options.Dialog();
    QString warned;
    WhenMessageBoxOpens([&](QDialog* box) {
        warned = shell::FormControl<QLabel>(box, 1087)->text();
        PressMessageButton(box, 1);
    });
    Box(dialog, 1055)->setChecked(true);
    Press(dialog, 1);
    EXPECT_EQ(warned.toStdString(), Text(224));
    EXPECT_EQ(ProgramSettings.AcceptErrors, 1);

    // Already on: no warning again.
    OptionsDialog again(nullptr);
    bool shown = false;
    WhenMessageBoxOpens([&](QDialog* box) {
        shown = true;
        PressMessageButton(box, 1);
    });
    Press(again.Dialog(), 1);
    WaitUntil([] { return false; }, 100);
    EXPECT_FALSE(shown);
    EXPECT_EQ(ProgramSettings.AcceptErrors, 1);
}

TEST_F(OptionsTest, EveryMappedControlExplainsItselfFromTheContextHelp) {
    OptionsDialog options(nullptr);
    for (int control : {1003, 1004, 1048, 1051, 1055, 1023, 1089, 1096, 1118, 1123, 1126, 1119}) {
        QWidget* widget = shell::FormControl<QWidget>(options.Dialog(), control);
        EXPECT_NE(shell::OptionsHelpTopic(control), 0) << control;
        EXPECT_GT(widget->whatsThis().size(), 20) << "control " << control << " has no explanation";
    }
    EXPECT_TRUE(shell::FormControl<QWidget>(options.Dialog(), 1030)->whatsThis().isEmpty());
    EXPECT_EQ(shell::OptionsHelpTopic(1030), 0);
    EXPECT_TRUE(shell::FormControl<QWidget>(options.Dialog(), 1096)->whatsThis().contains(QStringLiteral("duplicate")));
}

}  // namespace
}  // namespace dravik::test
