// The language module whole: every form the program loads, every control
// it looks up in each, every menu, the accelerator table, and the texts of
// every command it offers.
#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <set>

#include "gui_fixture.h"
#include "program/messages/language_module.h"
#include "program/shell/form_loader.h"
#include "program/app/language_resources.h"
#include "program/shell/main_window.h"

namespace dravik::test {
namespace {

using shell::FormError;

class FormsTest : public GuiTest {};

TEST_F(FormsTest, EveryFormHasEveryControlTheProgramUses) {
    for (const shell::FormUse& use : shell::FormsTheProgramUses()) {
        std::unique_ptr<QWidget> form;
        ASSERT_NO_THROW(form = shell::LoadForm(use.form)) << use.form;
        EXPECT_NE(qobject_cast<QDialog*>(form.get()), nullptr) << use.form << " is a dialog";
        for (const shell::FormControlUse& control : use.controls) {
            EXPECT_NO_THROW(shell::FindFormObject(form.get(), control.name, *control.type))
                << use.form << " " << control.name.toStdString();
        }
    }
}

TEST_F(FormsTest, MissingFormsAndControlsFailLoudlyWithTheirNames) {
    try {
        shell::LoadForm("NOSUCHFORM");
        FAIL() << "no error for a missing form";
    } catch (const FormError& error) {
        EXPECT_NE(std::string(error.what()).find("NOSUCHFORM"), std::string::npos);
    }
    std::unique_ptr<QWidget> form = shell::LoadForm("MESSAGEBOX");
    try {
        shell::FormControl<QLabel>(form.get(), 4242);
        FAIL() << "no error for a missing control";
    } catch (const FormError& error) {
        EXPECT_STREQ(error.what(), "the dialog layout MESSAGEBOX has no control id4242");
    }
    try {
        shell::FormControl<QLabel>(form.get(), 1);  // a push button
        FAIL() << "no error for a control of the wrong class";
    } catch (const FormError& error) {
        EXPECT_NE(std::string(error.what()).find("id1 is a QPushButton, not a QLabel"), std::string::npos);
    }
    EXPECT_THROW(shell::LoadFormText("BROKEN", "<ui version=\"4.0\"><widget class=", nullptr), FormError);
    EXPECT_THROW(shell::LoadFormText("OTHER", app::LanguageResource("MESSAGEBOX.ui"), nullptr), FormError)
        << "a form must carry the name it is loaded by";
}

TEST_F(FormsTest, MenusAndAcceleratorsParseAndEveryCommandHasItsHelpText) {
    shell::WindowResources resources;
    std::string error;
    ASSERT_TRUE(shell::LoadWindowResources(resources, error)) << error;
    // Every command the table knows; a menu or key naming anything else
    // would do nothing.
    const std::set<int> commandTable = {901,   51683, 51682, 40039, 40038, 40018, 51685, 40015, 40019,
                                        40009, 40001, 40002, 40003, 40004, 40024, 40025, 40026, 40027,
                                        40016, 40010, 40020, 40036, 99,    40061};
    std::vector<int> ids = app::MenuCommandIds(resources.mainMenu);
    std::vector<int> popupIds = app::MenuCommandIds(resources.popupMenus);
    ids.insert(ids.end(), popupIds.begin(), popupIds.end());
    for (const app::Accelerator& a : resources.accelerators) {
        ids.push_back(a.id);
        EXPECT_FALSE(QKeySequence::fromString(QString::fromStdString(a.key), QKeySequence::PortableText).isEmpty())
            << a.key;
    }
    for (int id : ids) {
        EXPECT_TRUE(commandTable.count(id)) << "command " << id << " is not in the command table";
        EXPECT_FALSE(messages::ProgramLanguage().Text(static_cast<unsigned>(id)).empty())
            << "command " << id << " has no menu help text";
    }
    // The view choices are the second submenu and the toolbar drop-down.
    ASSERT_GE(resources.mainMenu.size(), 3u);
    EXPECT_EQ(app::MenuCommandIds(resources.mainMenu[1].children), (std::vector<int>{40001, 40002, 40003, 40004}));
    EXPECT_EQ(app::MenuCommandIds(resources.popupMenus[0].children),
              (std::vector<int>{40001, 40002, 40003, 40004}));
    for (int toolbarId : {40018, 40019, 40020, 40038, 40039, 40049})
        EXPECT_FALSE(messages::ProgramLanguage().Text(static_cast<unsigned>(toolbarId)).empty()) << toolbarId;
    for (unsigned text : {169u, 1006u, 1101u, 1102u, 10000u, 11000u})
        EXPECT_FALSE(messages::ProgramLanguage().Text(text).empty()) << text;
}

}  // namespace
}  // namespace dravik::test
