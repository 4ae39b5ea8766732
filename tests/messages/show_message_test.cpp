#include <thread>

#include "messages_fixture.h"
#include "program/messages/message_catalog.h"

namespace dravik::test {
namespace {

using messages::MessageIdWithFlags;
using messages::ShowMessage;

class ShowMessageTest : public MessagesFixture {};

TEST_F(ShowMessageTest, LogOnlyTextShowsNothingAndReturnsZero) {
    diag::DebugMode = true;
    EXPECT_EQ(ShowMessage(0, "!ASPI manager version 4.60"), 0);
    EXPECT_TRUE(port_->Dialogs().empty());
    EXPECT_NE(Log().find("!ASPI manager version 4.60"), std::string::npos);
}

TEST_F(ShowMessageTest, TextIsLoadedFormattedAndShownOnTheUserInterfaceThread) {
    diag::DebugMode = true;
    int result = port_->RunOnUserInterfaceThread([] { return ShowMessage(107, "D:"); });
    EXPECT_EQ(result, 1);
    auto dialogs = port_->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].caption, "Dravik test");
    EXPECT_EQ(dialogs[0].text.rfind("The drive D: is not ready.", 0), 0u) << dialogs[0].text;
    EXPECT_TRUE(dialogs[0].onUserInterfaceThread);
    EXPECT_EQ(dialogs[0].icon, port::MessageIcon::Exclamation);
    EXPECT_NE(Log().find("The drive D: is not ready."), std::string::npos);
}

TEST_F(ShowMessageTest, DeviceLibraryTextsKeepTheirWording) {
    EXPECT_EQ(ShowMessage(3007, 1234, "HL-DT-ST DVDRAM", "Unrecoverable read error\nSense=11 05"), 1);
    auto dialogs = port_->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Error reading sector 1234 from HL-DT-ST DVDRAM\nUnrecoverable read error\nSense=11 05");
}

TEST_F(ShowMessageTest, KindFourQuestionFromAWorkerReturnsYesOrNoToTheWorker) {
    diag::DebugMode = true;
    diag::TrackAllocations = true;
    std::size_t liveDuringDialog = 0;
    port_->OnDialogShown([&](const port::MessageDialog&) { liveDuringDialog = diag::LiveGuardedBlocks(); });
    port_->ScriptAnswers({DialogAnswer::PressButton(1), DialogAnswer::PressButton(2)});

    int answers[2] = {0, 0};
    std::thread::id asker;
    std::thread worker([&] {
        asker = std::this_thread::get_id();
        answers[0] = ShowMessage(MessageIdWithFlags(218), 3, 4);
        answers[1] = ShowMessage(MessageIdWithFlags(252), 2);
    });
    worker.join();
    EXPECT_EQ(answers[0], 6);
    EXPECT_EQ(answers[1], 7);

    auto dialogs = port_->Dialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    for (const auto& d : dialogs) {
        EXPECT_TRUE(d.onUserInterfaceThread);
        EXPECT_EQ(d.kind, 4u);
        ASSERT_EQ(d.buttons.size(), 2u);
        EXPECT_EQ(d.buttons[0].label, "Yes");
        EXPECT_EQ(d.buttons[1].label, "No");
    }
    EXPECT_NE(asker, port_->UserInterfaceThreadId());
    EXPECT_EQ(dialogs[0].text.rfind("A sector between track 3 and track 4", 0), 0u) << dialogs[0].text;
    // The text travelled in a tracked copy that the user-interface thread
    // released before the worker went on.
    EXPECT_EQ(liveDuringDialog, 1u);
    EXPECT_EQ(diag::LiveGuardedBlocks(), 0u);
    EXPECT_NE(Log().find("Freeing memory at"), std::string::npos);
}

TEST_F(ShowMessageTest, UnansweredAutoAnswerQuestionGetsYesAfterTwentySeconds) {
    port_->ScriptAnswers({DialogAnswer::Wait()});
    auto start = clock_.Now();
    int result = 0;
    std::thread worker([&] { result = ShowMessage(MessageIdWithFlags(116)); });
    worker.join();
    EXPECT_EQ(result, 6);
    EXPECT_EQ(clock_.Now() - start, std::chrono::seconds(20));
}

TEST_F(ShowMessageTest, CloseBoxAnswersNoOrCancel) {
    port_->ScriptAnswers({DialogAnswer::CloseBox(), DialogAnswer::CloseBox(), DialogAnswer::NoAnswer()});
    EXPECT_EQ(ShowMessage(MessageIdWithFlags(252), 1), 7);
    EXPECT_EQ(ShowMessage(MessageIdWithFlags(253)), 2);
    // A front end that returns without an answer counts as the close box.
    EXPECT_EQ(ShowMessage(MessageIdWithFlags(220)), 2);
}

TEST_F(ShowMessageTest, DefaultButtonComesFromTheFlags) {
    EXPECT_EQ(ShowMessage(MessageIdWithFlags(253)), 2);  // 0x101: Cancel is the default
    EXPECT_EQ(ShowMessage(MessageIdWithFlags(185)), 7);  // 0x104: No is the default
    EXPECT_EQ(ShowMessage(MessageIdWithFlags(220)), 1);  // kind 3 without default flags
}

TEST_F(ShowMessageTest, PromptsAndMessagesPlayTheirEventSounds) {
    ShowMessage(MessageIdWithFlags(252), 1);
    ShowMessage(111);
    EXPECT_EQ(port_->Sounds(), std::vector<std::string>{"/sounds/prompt.wav"});
    ASSERT_EQ(lookedUp_.size(), 2u);
    EXPECT_EQ(lookedUp_[0], "AppEvents\\Schemes\\Apps\\Dravik\\Dravik-Prompt\\.Current");
    EXPECT_EQ(lookedUp_[1], "AppEvents\\Schemes\\Apps\\Dravik\\Dravik-Message\\.Current");
}

TEST_F(ShowMessageTest, FinishedTextFromAWorkerIsHandedOverAndTheCallersTextKept) {
    diag::TrackAllocations = true;
    std::string mine = "A finished text";
    int result = 0;
    std::thread worker([&] { result = ShowMessage(0x40000, mine.c_str()); });
    worker.join();
    EXPECT_EQ(result, 6);
    auto dialogs = port_->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, mine);
    EXPECT_TRUE(dialogs[0].onUserInterfaceThread);
    EXPECT_EQ(diag::LiveGuardedBlocks(), 0u);
    // On the user-interface thread the caller's (untracked) text is shown
    // and left alone.
    EXPECT_EQ(port_->RunOnUserInterfaceThread([&] { return ShowMessage(0, mine.c_str()); }), 1);
    EXPECT_EQ(mine, "A finished text");
}

TEST_F(ShowMessageTest, OwnedMessageIsNotLoggedAndNamesItsOwner) {
    diag::DebugMode = true;
    int owner = 0;
    int result = port_->RunOnUserInterfaceThread([&] { return messages::ShowMessageOwned(&owner, 224); });
    EXPECT_EQ(result, 1);
    auto dialogs = port_->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].owner, &owner);
    EXPECT_EQ(Log(), "");
}

TEST_F(ShowMessageTest, MissingTextGivesAnEmptyMessage) {
    EXPECT_EQ(ShowMessage(4321), 1);
    auto dialogs = port_->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "");
}

TEST_F(ShowMessageTest, WithoutAFrontEndTheDefaultAnswerIsTaken) {
    port::InstallShellPort(nullptr);
    testing::internal::CaptureStderr();
    int result = ShowMessage(MessageIdWithFlags(253));
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 2);
    EXPECT_NE(printed.find("A new scan discards the current results."), std::string::npos);
}

std::string Format(unsigned number, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = messages::FormatMessageText(number, format, arguments);
    va_end(arguments);
    return text;
}

TEST(FormatMessageTextTest, TextsWithMoreOrOtherConversionsThanTheirArgumentsAreNotFormatted) {
    EXPECT_EQ(Format(107, "Drive %s", "D:"), "Drive D:");
    // 107 passes one text: a second conversion would read garbage.
    EXPECT_EQ(Format(107, "Drive %s on %s", "D:"), "Drive %s on %s");
    EXPECT_EQ(Format(107, "Drive %d", "D:"), "Drive %d");        // wrong type
    EXPECT_EQ(Format(107, "Drive %n%s", "D:"), "Drive %n%s");    // never
    EXPECT_EQ(Format(107, "Drive %1$s", "D:"), "Drive %1$s");    // positional
    EXPECT_EQ(Format(107, "Drive %*s", "D:"), "Drive %*s");      // star width
    EXPECT_EQ(Format(107, "Drive %ls", "D:"), "Drive %ls");      // length modifier
    EXPECT_EQ(Format(107, "100%% sure: %s", "D:"), "100% sure: D:");
    // Fewer conversions than arguments are fine.
    EXPECT_EQ(Format(3000, "Mismatched", 5), "Mismatched");
    EXPECT_EQ(Format(3008, "%s Cmd=%02x, %s", "dev", 0x55, "sense"), "dev Cmd=55, sense");
    // A number nobody documented is formatted only when it needs no arguments.
    EXPECT_EQ(Format(9999, "plain"), "plain");
    EXPECT_EQ(Format(9999, "value %d", 3), "value %d");
}

TEST(FormatMessageTextTest, LongTextsAreCutTo499Characters) {
    std::string longName(800, 'n');
    EXPECT_EQ(Format(107, "%s", longName.c_str()).size(), messages::kMaxMessageText);
}

}  // namespace
}  // namespace dravik::test
