// The advice window after a scan: the pages a track list earns, Previous
// and Next at the ends, links handed to the desktop, and the addresses of
// a topic text turned into links.
#include <QDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>

#include "gui_fixture.h"
#include "program/app/results_advice.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/messages/language_module.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/scan_state.h"
#include "program/shell/main_window.h"
#include "program/shell/startup.h"
#include "support/test_paths.h"
#include "program/scan/track_list.h"
#include "program/shell/advice_dialog.h"
#include "program/shell/help_pages.h"

namespace dravik::test {
namespace {

class AdviceWindowTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        app::ProgramAdviceFlags() = {};
        shell::SetResultsAdviceEnabled(true);
        shell::SetUrlOpener([this](const QUrl& url) {
            opened_.push_back(url);
            return true;
        });
    }
    void TearDown() override {
        if (shell::OpenAdvice()) shell::OpenAdvice()->Dialog()->close();
        WaitUntil([] { return shell::OpenAdvice() == nullptr; });
        scan::TrackListHead = nullptr;
        shell::SetUrlOpener(nullptr);
        shell::SetResultsAdviceEnabled(false);
        GuiTest::TearDown();
    }
    // Shows the advice for one track with these flags (and control bits).
    shell::AdviceDialog* AdviceFor(std::uint8_t control, std::uint32_t flags) {
        track_ = {};
        track_.number = 1;
        track_.control = control;
        track_.flags = flags;
        scan::TrackListHead = &track_;
        shell::ShowResultsAdvice(nullptr);
        scan::TrackListHead = nullptr;
        return shell::OpenAdvice();
    }

    scan::TrackNode track_{};
    std::vector<QUrl> opened_;
};

TEST_F(AdviceWindowTest, OnePageHasNeitherPreviousNorNext) {
    shell::AdviceDialog* advice = AdviceFor(0, 0);  // an audio track
    ASSERT_NE(advice, nullptr);
    EXPECT_TRUE(advice->Dialog()->isVisible());
    EXPECT_EQ(advice->Pages().Current(), app::kAdviceNoDataTrack);
    EXPECT_FALSE(advice->PreviousButton()->isEnabled());
    EXPECT_FALSE(advice->NextButton()->isEnabled());
    // The product's name is filled in.
    EXPECT_TRUE(advice->Text()->toPlainText().contains(QStringLiteral("Pellor Dravik")));
    SaveScreenshot(advice->Dialog(), "advice_one_page");
    advice->Dialog()->close();
    ASSERT_TRUE(WaitUntil([] { return shell::OpenAdvice() == nullptr; }));
    // The same disc again in this run: nothing to add, no window.
    EXPECT_EQ(AdviceFor(0, 0), nullptr);
}

TEST_F(AdviceWindowTest, PagesOfAUdfDiscAndTheirLinks) {
    shell::AdviceDialog* advice = AdviceFor(scan::kControlData, scan::TrackUdf);
    ASSERT_NE(advice, nullptr);
    EXPECT_EQ(advice->Pages().Count(), 3u);
    EXPECT_FALSE(advice->PreviousButton()->isEnabled());
    EXPECT_TRUE(advice->NextButton()->isEnabled());
    const QString first = advice->Text()->toPlainText();
    advice->NextButton()->click();
    EXPECT_NE(advice->Text()->toPlainText(), first);
    EXPECT_TRUE(advice->PreviousButton()->isEnabled());
    EXPECT_TRUE(advice->NextButton()->isEnabled());
    SaveScreenshot(advice->Dialog(), "advice_middle_page");
    advice->NextButton()->click();
    EXPECT_EQ(advice->Pages().Current(), app::kAdviceCopyFiles);
    EXPECT_FALSE(advice->NextButton()->isEnabled());
    advice->PreviousButton()->click();
    advice->PreviousButton()->click();
    EXPECT_EQ(advice->Text()->toPlainText(), first);

    emit advice->Text()->anchorClicked(QUrl(QStringLiteral("mailto:help@example.org")));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].toString(), QStringLiteral("mailto:help@example.org"));
}

TEST_F(AdviceWindowTest, AnIsoDiscWithNothingMissingOpensNoWindow) {
    EXPECT_EQ(AdviceFor(scan::kControlData, scan::TrackIso | scan::TrackJoliet), nullptr);
    // Turned off (the other graphical tests), no window either.
    shell::SetResultsAdviceEnabled(false);
    EXPECT_EQ(AdviceFor(scan::kControlData, scan::TrackBlank), nullptr);
}

// The whole way: the real scan engine reads the tests' blank image (drive
// D:), and at the end of the scan the advice opens over the main window.
TEST(AdviceAfterScanTest, AScanThatEndsOpensTheAdviceOverTheWindow) {
    messages::LanguageModule& language = messages::ProgramLanguage();
    if (!language.Loaded()) {
        ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
    }
    app::ProgramAdviceFlags() = {};
    shell::SetResultsAdviceEnabled(true);
    app::InstallScanThread(&scan::ScanThread);
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    std::unique_ptr<shell::Program> program = shell::StartProgram({});
    ASSERT_NE(program->window, nullptr);
    EXPECT_TRUE(WaitUntil([] { return shell::OpenAdvice() != nullptr; }, 30000));
    EXPECT_EQ(scan::LastScanOutcome(), scan::ScanOutcome::Completed);
    if (shell::AdviceDialog* advice = shell::OpenAdvice()) {
        EXPECT_EQ(advice->Dialog()->parentWidget(), program->window.get());
        EXPECT_EQ(advice->Dialog()->windowModality(), Qt::WindowModal);
        EXPECT_FALSE(advice->Text()->toPlainText().isEmpty());
    }
    shell::SetResultsAdviceEnabled(false);
    // Closing the program closes the advice with it.
    shell::ShutdownProgram(*program);
    EXPECT_EQ(shell::OpenAdvice(), nullptr);
    app::InstallScanThread(nullptr);
    scan::CloseRequested = 0;
}

TEST(AdviceHtmlTest, AddressesBecomeLinks) {
    const struct {
        const char* text;
        const char* html;
    } cases[] = {
        {"plain & <text>", "plain &amp; &lt;text&gt;"},
        {"mail help@example.org.", "mail <a href=\"mailto:help@example.org\">help@example.org</a>."},
        {"see https://example.org/a?b=1, then", "see <a href=\"https://example.org/a?b=1\">https://example.org/a?b=1</a>, then"},
        {"www.example.org", "<a href=\"http://www.example.org\">www.example.org</a>"},
        {"two\nlines", "two<br>lines"},
        {"50% @ home", "50% @ home"},
    };
    for (const auto& c : cases) EXPECT_EQ(shell::AdviceHtml(QString::fromUtf8(c.text)).toStdString(), c.html) << c.text;
}

}  // namespace
}  // namespace dravik::test
