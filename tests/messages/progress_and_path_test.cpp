#include <thread>

#include "messages_fixture.h"
#include "program/messages/display_path.h"
#include "program/messages/scan_progress.h"

namespace dravik::test {
namespace {

class ProgressTest : public MessagesFixture {
protected:
    void TearDown() override {
        messages::ProgressClose();
        messages::SetCancelHandler(nullptr);
        MessagesFixture::TearDown();
    }
};

TEST_F(ProgressTest, TicksWithoutADialogDoNothing) {
    messages::ProgressTick();
    EXPECT_EQ(port_->ProgressStarted(), 0);
    EXPECT_TRUE(port_->BarValues().empty());
}

TEST_F(ProgressTest, WorkerOpensTheDialogThroughTheUserInterfaceThreadAndTicksCountTo100) {
    std::thread scan([] {
        messages::ProgressOpen(false);
        for (int i = 0; i < 102; ++i) messages::ProgressTick();
    });
    scan.join();
    EXPECT_EQ(port_->ProgressCreated(), 1);
    EXPECT_TRUE(port_->ProgressBarShown());
    EXPECT_EQ(port_->ProgressStarted(), 1);  // shown at the first tick only
    auto bars = port_->BarValues();
    ASSERT_EQ(bars.size(), 102u);
    EXPECT_EQ(bars[0], 1);
    EXPECT_EQ(bars[99], 100);
    EXPECT_EQ(bars[100], 0);  // the 101st tick starts again
    EXPECT_EQ(bars[101], 1);

    messages::ProgressClose();
    EXPECT_EQ(port_->ProgressDestroyed(), 1);
    EXPECT_FALSE(messages::ProgressIsOpen());
    messages::ProgressTick();
    EXPECT_EQ(port_->BarValues().size(), 102u);
}

TEST_F(ProgressTest, OnlyOneDialogAtATimeAndTheBarHiddenWhilePromptsAreSuppressed) {
    messages::ProgressOpen(true);
    messages::ProgressOpen(true);
    EXPECT_EQ(port_->ProgressCreated(), 1);
    EXPECT_FALSE(port_->ProgressBarShown());
    EXPECT_EQ(messages::ProgressCounter(), -1);
}

TEST_F(ProgressTest, CancelSetsTheAbortFlagLogsAndShowsTheStatusText) {
    diag::DebugMode = true;
    bool aborted = false;
    messages::SetCancelHandler([&] { aborted = true; });
    port_->RunOnUserInterfaceThread([] {
        messages::ProgressCancel();
        return 0;
    });
    EXPECT_TRUE(aborted);
    EXPECT_NE(Log().find("Cancel requested by user."), std::string::npos);
    ASSERT_EQ(port_->StatusTexts().size(), 1u);
    EXPECT_EQ(port_->StatusTexts()[0], language_.Text(215));
    EXPECT_FALSE(port_->StatusTexts()[0].empty());
}

struct Node {
    const char* name;
    const Node* parent;
    const char* Name() const { return name; }
};

TEST(DisplayPathTest, ShortPathsShowEveryDirectory) {
    Node root{"\\ DISC (Session 1)", nullptr};
    Node docs{"Docs", &root};
    Node year{"2003", &docs};
    Node file{"letter.txt", &year};
    EXPECT_EQ(messages::DisplayPathOf(&file), "\\Docs\\2003\\letter.txt");
    Node top{"readme.txt", &root};
    EXPECT_EQ(messages::DisplayPathOf(&top), "\\readme.txt");
}

TEST(DisplayPathTest, DeepPathReplacesTheMiddleDirectoriesWithDots) {
    // Four directories whose names total 80 characters.
    std::string middle(64, 'm');
    Node root{"\\ DISC (Session 1)", nullptr};
    Node archive{"Archive", &root};
    Node longOne{middle.c_str(), &archive};
    Node italy{"Italy", &longOne};
    Node rome{"Rome", &italy};
    Node photo{"photo.jpg", &rome};
    EXPECT_EQ(messages::DisplayPathOf(&photo), "\\Archive\\...\\Italy\\Rome\\photo.jpg");
}

TEST(DisplayPathTest, DropsOuterDirectoriesUntilShortEnough) {
    std::string twenty(20, 'd');
    std::vector<std::string_view> ancestors = {"a0", "a1", twenty, twenty, twenty, "outer"};
    // 3 + 3 + 3 * 21 + 6 = 75 > 70; dropping the third-nearest leaves 54 < 60.
    EXPECT_EQ(messages::DisplayPath("f", ancestors),
              "\\outer\\" + twenty + "\\" + twenty + "\\...\\a1\\a0\\f");
}

TEST(DisplayPathTest, WhenNothingShortEnoughRemainsOnlyTheNameIsShown) {
    std::string forty(40, 'x');
    std::vector<std::string_view> ancestors = {forty, forty, forty};
    EXPECT_EQ(messages::DisplayPath("f", ancestors), "\\...\\f");
    std::vector<std::string_view> two = {forty, forty};
    EXPECT_EQ(messages::DisplayPath("f", two), "\\...\\f");
}

TEST(DisplayPathTest, AtMostTwentyAncestorsAreConsidered) {
    Node root{"\\ ROOT", nullptr};
    std::vector<Node> chain;
    chain.reserve(30);
    const Node* parent = &root;
    for (int i = 0; i < 30; ++i) {
        chain.push_back({"d", parent});
        parent = &chain.back();
    }
    Node file{"f", parent};
    // 20 ancestors of 2 characters each: 40, short enough to show them all.
    std::string expected;
    for (int i = 0; i < 20; ++i) expected += "\\d";
    EXPECT_EQ(messages::DisplayPathOf(&file), expected + "\\f");
}

}  // namespace
}  // namespace dravik::test
