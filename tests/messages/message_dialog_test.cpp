#include "program/port/message_dialog.h"

#include <gtest/gtest.h>

#include "support/recording_shell_port.h"

namespace dravik::test {
namespace {

using port::MessageDialog;

struct DialogCase {
    const char* name;
    unsigned flags;
    std::vector<int> buttons;  // on screen, in order
    int defaultButton;
    // results of pressing 1, 7, 2 (0: not shown) and of the close box
    int result1, result7, result2, resultClose;
    port::MessageIcon icon;
};

void PrintTo(const DialogCase& c, std::ostream* out) { *out << c.name; }

class MessageDialogKinds : public ::testing::TestWithParam<DialogCase> {};

TEST_P(MessageDialogKinds, ButtonsDefaultsAndResultsFollowTheKind) {
    const DialogCase& c = GetParam();
    auto make = [&] { return MessageDialog("Dravik", "text", c.flags, "Yes;No", "Yes;No;Cancel", nullptr); };
    MessageDialog dialog = make();
    std::vector<int> ids;
    for (const auto& b : dialog.Buttons()) ids.push_back(b.id);
    EXPECT_EQ(ids, c.buttons);
    EXPECT_EQ(dialog.DefaultButton(), c.defaultButton);
    EXPECT_EQ(dialog.Icon(), c.icon);
    EXPECT_FALSE(dialog.Finished());

    const std::pair<int, int> presses[] = {{1, c.result1}, {7, c.result7}, {2, c.result2}};
    for (auto [button, expected] : presses) {
        MessageDialog d = make();
        d.Press(button);
        EXPECT_EQ(d.Result(), expected) << "button " << button;
    }
    MessageDialog closed = make();
    closed.Close();
    EXPECT_EQ(closed.Result(), c.resultClose);
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, MessageDialogKinds,
    ::testing::Values(
        DialogCase{"Ok", 0, {1}, 1, 1, 0, 0, 2, port::MessageIcon::Exclamation},
        DialogCase{"UnlistedKindIsOk", 7, {1}, 1, 1, 0, 0, 2, port::MessageIcon::Exclamation},
        DialogCase{"OkCancel", 1, {1, 2}, 1, 1, 0, 2, 2, port::MessageIcon::Question},
        DialogCase{"OkCancelSecondDefault", 0x101, {1, 2}, 2, 1, 0, 2, 2, port::MessageIcon::Question},
        DialogCase{"ThreeWay", 3, {1, 7, 2}, 1, 1, 7, 2, 2, port::MessageIcon::Question},
        DialogCase{"ThreeWayNoDefault", 0x103, {1, 7, 2}, 7, 1, 7, 2, 2, port::MessageIcon::Question},
        DialogCase{"ThreeWayCancelDefault", 0x203, {1, 7, 2}, 2, 1, 7, 2, 2, port::MessageIcon::Question},
        DialogCase{"YesNo", 4, {1, 2}, 1, 6, 0, 7, 7, port::MessageIcon::Question},
        DialogCase{"YesNoSecondDefault", 0x104, {1, 2}, 2, 6, 0, 7, 7, port::MessageIcon::Question},
        DialogCase{"YesNoAutoAnswer", 0x8004, {1, 2}, 1, 6, 0, 7, 7, port::MessageIcon::Question}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageDialogTest, QuestionsTakeTheirLabelsFromTheLanguageTexts) {
    MessageDialog yesNo("c", "t", 4, "Ja;Nein", "A;B;C", nullptr);
    ASSERT_EQ(yesNo.Buttons().size(), 2u);
    EXPECT_EQ(yesNo.Buttons()[0].label, "Ja");
    EXPECT_EQ(yesNo.Buttons()[1].label, "Nein");
    MessageDialog threeWay("c", "t", 3, "Ja;Nein", "A;B", nullptr);  // a label missing
    ASSERT_EQ(threeWay.Buttons().size(), 3u);
    EXPECT_EQ(threeWay.Buttons()[1].label, "B");
    EXPECT_EQ(threeWay.Buttons()[2].label, "");
    MessageDialog ok("c", "t", 0, "Ja;Nein", "A;B;C", nullptr);
    EXPECT_EQ(ok.Buttons()[0].label, "");  // the front end's own "OK"
}

TEST(MessageDialogTest, SoundIsPromptWhenAnyFlagIsSet) {
    EXPECT_STREQ(MessageDialog("c", "t", 0, "", "", nullptr).SoundEvent(), "Message");
    EXPECT_STREQ(MessageDialog("c", "t", 0x8000, "", "", nullptr).SoundEvent(), "Prompt");
    EXPECT_STREQ(MessageDialog("c", "t", 1, "", "", nullptr).SoundEvent(), "Prompt");
}

TEST(MessageDialogTest, OnlyTheFirstAnswerCountsAndHiddenButtonsAreIgnored) {
    MessageDialog dialog("c", "t", 4, "", "", nullptr);
    dialog.Press(7);  // kind 4 has no button 7
    EXPECT_FALSE(dialog.Finished());
    dialog.Press(2);
    dialog.Press(1);
    dialog.Close();
    EXPECT_EQ(dialog.Result(), 7);
}

TEST(MessageDialogTest, AutoAnswerPressesButtonOneAfterTwentySeconds) {
    FakeClock clock;
    MessageDialog dialog("c", "t", 0x8004, "", "", clock.AsClock());
    clock.Advance(std::chrono::milliseconds(19999));
    EXPECT_FALSE(dialog.CheckAutoAnswer());
    EXPECT_FALSE(dialog.Finished());
    clock.Advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(dialog.CheckAutoAnswer());
    EXPECT_EQ(dialog.Result(), 6);

    MessageDialog withoutFlag("c", "t", 4, "", "", clock.AsClock());
    clock.Advance(std::chrono::seconds(60));
    EXPECT_FALSE(withoutFlag.CheckAutoAnswer());
    EXPECT_FALSE(withoutFlag.Finished());

    MessageDialog answered("c", "t", 0x8004, "", "", clock.AsClock());
    answered.Press(2);
    clock.Advance(std::chrono::seconds(30));
    EXPECT_FALSE(answered.CheckAutoAnswer());
    EXPECT_EQ(answered.Result(), 7);
}

}  // namespace
}  // namespace dravik::test
