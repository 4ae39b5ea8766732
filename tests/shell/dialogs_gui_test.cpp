// The message dialog and the scan progress dialog on the language
// module's layouts, and the hand-over from a worker thread that plays the
// scan's part.
#include <QAbstractButton>
#include <QLabel>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

#include "device/cddevice/cddevice.h"
#include "gui_fixture.h"
#include "program/messages/event_sound.h"
#include "program/messages/language_module.h"
#include "program/shell/message_box.h"
#include "program/messages/message_catalog.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/messages/test_seams.h"
#include "program/shell/form_loader.h"
#include "program/shell/progress_dialog.h"

namespace dravik::test {
namespace {

using shell::FormControl;

int Flags(unsigned flags) { return static_cast<int>(flags << 16); }

QStringList VisibleButtons(QDialog* box) {
    QStringList shown;
    for (int id : {1, 7, 2}) {
        auto* button = FormControl<QPushButton>(box, id);
        if (button->isVisible()) shown << button->text();
    }
    return shown;
}

QString DefaultButton(QDialog* box) {
    for (int id : {1, 7, 2}) {
        auto* button = FormControl<QPushButton>(box, id);
        if (button->isVisible() && button->isDefault()) return button->objectName();
    }
    return {};
}

bool ShowsIcon(QDialog* box, QStyle::StandardPixmap symbol) {
    auto* icon = FormControl<QLabel>(box, 1088);
    const int side = box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box);
    return icon->pixmap().toImage() == box->style()->standardIcon(symbol, nullptr, box).pixmap(side, side).toImage();
}

class MessageDialogTest : public GuiTest {};

struct DialogRow {
    const char* name;
    unsigned flags;
    QStringList buttons;
    const char* defaultButton;
    QStyle::StandardPixmap icon;
    int press;  // 0: the close box
    int result;
};

TEST_F(MessageDialogTest, KindsButtonsDefaultsIconsAndResults) {
    const DialogRow rows[] = {
        {"ok", 0, {"OK"}, "id1", QStyle::SP_MessageBoxWarning, 1, 1},
        {"ok-closed", 0, {"OK"}, "id1", QStyle::SP_MessageBoxWarning, 0, 2},
        {"unknown kind", 2, {"OK"}, "id1", QStyle::SP_MessageBoxWarning, 1, 1},
        {"ok-cancel", 1, {"OK", "Cancel"}, "id1", QStyle::SP_MessageBoxQuestion, 2, 2},
        {"ok-cancel second default", 0x101, {"OK", "Cancel"}, "id2", QStyle::SP_MessageBoxQuestion, 1, 1},
        {"ok-cancel closed", 1, {"OK", "Cancel"}, "id1", QStyle::SP_MessageBoxQuestion, 0, 2},
        {"yes-no", 4, {"Yes", "No"}, "id1", QStyle::SP_MessageBoxQuestion, 1, 6},
        {"yes-no answered no", 0x104, {"Yes", "No"}, "id2", QStyle::SP_MessageBoxQuestion, 2, 7},
        {"yes-no closed", 4, {"Yes", "No"}, "id1", QStyle::SP_MessageBoxQuestion, 0, 7},
        {"three-way", 3, {"Yes", "No", "Cancel"}, "id1", QStyle::SP_MessageBoxQuestion, 7, 7},
        {"three-way no default", 0x103, {"Yes", "No", "Cancel"}, "id7", QStyle::SP_MessageBoxQuestion, 2, 2},
        {"three-way cancel default", 0x203, {"Yes", "No", "Cancel"}, "id2", QStyle::SP_MessageBoxQuestion, 1, 1},
    };
    for (const DialogRow& row : rows) {
        SCOPED_TRACE(row.name);
        bool seen = false;
        WhenMessageBoxOpens([&](QDialog* box) {
            seen = true;
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Pellor Dravik"));
            EXPECT_EQ(FormControl<QLabel>(box, 1087)->text(), QStringLiteral("Is this the right disc?"));
            EXPECT_EQ(VisibleButtons(box), row.buttons);
            EXPECT_EQ(DefaultButton(box), QString::fromLatin1(row.defaultButton));
            EXPECT_TRUE(ShowsIcon(box, row.icon));
            if (row.press)
                PressMessageButton(box, row.press);
            else
                box->close();
        });
        EXPECT_EQ(messages::ShowMessage(Flags(row.flags), "Is this the right disc?"), row.result);
        EXPECT_TRUE(seen);
    }
}

TEST_F(MessageDialogTest, EscapeAnswersAsTheCloseBox) {
    WhenMessageBoxOpens([](QDialog* box) { box->reject(); });
    EXPECT_EQ(messages::ShowMessage(Flags(4), "Go on?"), 7);
}

TEST_F(MessageDialogTest, AutoAnswerPressesTheFirstButtonAfterTwentySeconds) {
    auto start = std::chrono::steady_clock::now();
    std::atomic<int> skipped{0};
    messages::MessageContext context;
    context.language = &messages::ProgramLanguage();
    context.caption = "Pellor Dravik";
    context.clock = [&] { return start + std::chrono::seconds(skipped.load()); };
    messages::SetMessageContext(context);
    bool open = false;
    WhenMessageBoxOpens([&](QDialog*) {
        open = true;
        skipped = 19;  // not yet
        QTimer::singleShot(600, [&] {
            EXPECT_NE(shell::OpenMessageBox(), nullptr) << "answered before 20 seconds";
            skipped = 20;
        });
    });
    EXPECT_EQ(messages::ShowMessage(messages::MessageIdWithFlags(116)), 6);
    EXPECT_TRUE(open);
    messages::SetMessageContext({&messages::ProgramLanguage(), "Pellor Dravik", {}});
}

TEST_F(MessageDialogTest, EventSoundsPlayOnlyWhenAFileIsSet) {
    messages::test_seams::SetSoundFileLookup([](const std::string& key) {
        return key.find("Dravik-Prompt") != std::string::npos ? std::string("/sounds/prompt.wav") : std::string();
    });
    WhenMessageBoxOpens([](QDialog* box) { PressMessageButton(box, 1); });
    messages::ShowMessage(Flags(4), "A question");
    WhenMessageBoxOpens([](QDialog* box) { PressMessageButton(box, 1); });
    messages::ShowMessage(0, "A plain message");
    EXPECT_EQ(soundsPlayed_, std::vector<std::string>{"/sounds/prompt.wav"});
}

TEST_F(MessageDialogTest, LongTextIsWrappedAndNothingIsClipped) {
    const std::string text = messages::ProgramLanguage().Text(103);
    WhenMessageBoxOpens([](QDialog* box) {
        auto* label = FormControl<QLabel>(box, 1087);
        QFontMetrics metrics(label->font());
        QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 100000), Qt::TextWordWrap, label->text());
        EXPECT_LE(needed.height(), label->height());
        EXPECT_LE(needed.width(), label->width());
        EXPECT_TRUE(box->rect().contains(label->geometry()));
        SaveScreenshot(box, "message_dialog");
        PressMessageButton(box, 1);
    });
    messages::ShowMessage(103);
    WhenMessageBoxOpens([](QDialog* box) {
        SaveScreenshot(box, "message_dialog_question");
        PressMessageButton(box, 2);
    });
    messages::ShowMessage(messages::MessageIdWithFlags(220));
}

TEST_F(MessageDialogTest, QuestionFromAWorkerIsAnsweredHereAndReturnsThere) {
    std::atomic<int> answer{-1};
    std::atomic<bool> done{false};
    Qt::HANDLE askedFrom = nullptr;
    Qt::HANDLE shownOn = nullptr;
    WhenMessageBoxOpens([&](QDialog* box) {
        shownOn = QThread::currentThreadId();
        EXPECT_NE(FormControl<QLabel>(box, 1087)->text().indexOf(QStringLiteral("track 3")), -1);
        PressMessageButton(box, 2);  // No
    });
    std::thread worker([&] {
        askedFrom = QThread::currentThreadId();
        answer = messages::ShowMessage(messages::MessageIdWithFlags(252), 3);
        done = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(answer, 7);
    EXPECT_EQ(shownOn, QThread::currentThreadId());
    EXPECT_NE(askedFrom, shownOn);
}

class ProgressDialogTest : public GuiTest {
protected:
    void TearDown() override {
        messages::SetCancelHandler(nullptr);
        messages::ProgressClose();
        GuiTest::TearDown();
    }
};

TEST_F(ProgressDialogTest, WorkerOpensTicksAndClosesItAndTheAnimationLoops) {
    std::atomic<int> stage{0};
    std::thread worker([&] {
        messages::ProgressOpen(false);
        stage = 1;
        while (stage.load() != 2) std::this_thread::yield();
        for (int i = 0; i < 5; ++i) messages::ProgressTick();
        stage = 3;
        while (stage.load() != 4) std::this_thread::yield();
        messages::ProgressClose();
        stage = 5;
    });
    ASSERT_TRUE(WaitUntil([&] { return stage.load() == 1; }));
    shell::ScanProgressDialog* progress = port_->Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->Dialog()->isVisible()) << "hidden until the first tick";
    stage = 2;
    ASSERT_TRUE(WaitUntil([&] { return stage.load() == 3; }));
    EXPECT_TRUE(progress->Dialog()->isVisible());
    EXPECT_TRUE(progress->Animating());
    auto* animation = FormControl<QLabel>(progress->Dialog(), 1116);
    ASSERT_NE(animation->movie(), nullptr);
    EXPECT_GT(animation->movie()->frameCount(), 1);
    auto* bar = FormControl<QProgressBar>(progress->Dialog(), 200);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), messages::ProgressCounter());
    // The close box does nothing: the scan's end closes the dialog.
    progress->Dialog()->close();
    EXPECT_TRUE(progress->Dialog()->isVisible());
    // Past the last frame the animation starts again.
    const int frames = animation->movie()->frameCount();
    int highest = 0;
    bool wrapped = WaitUntil([&] {
        int frame = animation->movie()->currentFrameNumber();
        if (frame < highest) return true;
        highest = frame;
        return false;
    }, 3000);
    EXPECT_TRUE(wrapped) << "frames " << frames;
    SaveScreenshot(progress->Dialog(), "progress_dialog");
    stage = 4;
    ASSERT_TRUE(WaitUntil([&] { return stage.load() == 5; }));
    worker.join();
    EXPECT_EQ(port_->Progress(), nullptr);
}

TEST_F(ProgressDialogTest, BarHiddenWhilePromptsAreSuppressed) {
    messages::ProgressOpen(true);
    messages::ProgressTick();
    ASSERT_NE(port_->Progress(), nullptr);
    EXPECT_FALSE(FormControl<QProgressBar>(port_->Progress()->Dialog(), 200)->isVisible());
    EXPECT_TRUE(port_->Progress()->Dialog()->isVisible());
}

TEST_F(ProgressDialogTest, CancelSetsTheAbortFlagAndShowsTheCancellingStatus) {
    std::atomic<bool> abortFlag{false};
    messages::SetCancelHandler([&] { abortFlag = true; });
    std::string status;
    struct StatusPort : shell::QtShellPort {
        std::string* status;
        void SetStatusText(int part, const std::string& text) override {
            if (part == 0) *status = text;
        }
    } statusPort;
    statusPort.status = &status;
    port::InstallShellPort(&statusPort);
    messages::ProgressOpen(false);
    messages::ProgressTick();
    ASSERT_NE(statusPort.Progress(), nullptr);
    FormControl<QPushButton>(statusPort.Progress()->Dialog(), 2)->click();
    EXPECT_TRUE(abortFlag);
    EXPECT_EQ(status, messages::ProgramLanguage().Text(215));
    messages::ProgressClose();
    port::InstallShellPort(port_.get());
}

}  // namespace
}  // namespace dravik::test
