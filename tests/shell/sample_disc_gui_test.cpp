// The program with its real scan engine over the sample disc (two closed
// sessions written by dravik-cli make-demo): the scan that start-up begins
// and the one Open Disc Image begins fill the tree with both sessions'
// tracks and directories, name the window after the volume and end with
// the summary status line.
#include <QAbstractItemModel>
#include <QAction>
#include <QMenu>
#include <QTreeView>
#include <cstdlib>
#include <string>

#include "device/cddevice/cddevice.h"
#include "gui_fixture.h"
#include "platform/drives/drive_table.h"
#include "program/messages/language_module.h"
#include "program/scan/scan_device.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/shell/catalogue_views.h"
#include "program/app/drive_selection.h"
#include "program/shell/file_list_model.h"
#include "program/shell/main_window.h"
#include "program/app/recent_images.h"
#include "program/app/scan_launch.h"
#include "program/shell/select_drive_dialog.h"
#include "program/app/settings_store.h"
#include "program/shell/startup.h"
#include "program/shell/status_bar.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

// A scan under the sanitizers takes a while; a scan that hangs still ends
// the test.
constexpr int kScanTimeoutMs = 60000;

// The sample disc, written once per test process by the command-line
// front end (its disc writer is part of that program).
const std::string& SampleDisc() {
    static const std::string path = SampleDiscPath();
    return path;
}

class SampleDiscTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages::LanguageModule& language = messages::ProgramLanguage();
        if (!language.Loaded()) {
            ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
        }
        ASSERT_FALSE(SampleDisc().empty()) << "dravik-cli make-demo failed";
        // What the program's entry installs: the real scan engine.
        app::InstallScanThread(&scan::ScanThread);
    }
    void TearDown() override {
        if (program_) shell::ShutdownProgram(*program_);
        program_.reset();
        app::InstallScanThread(nullptr);
        shell::SetImagePathChooser(nullptr);
        scan::CloseRequested = 0;
        // Images opened here are not the next test's drives.
        app::StoreRecentImages({});
    }
    shell::MainWindow& Start() {
        program_ = shell::StartProgram({});
        EXPECT_TRUE(program_->run);
        return *program_->window;
    }
    static bool ScanEnded() {
        const scan::ScanOutcome outcome = scan::LastScanOutcome();
        return !scan::ScanRunning && outcome != scan::ScanOutcome::Running && outcome != scan::ScanOutcome::None;
    }
    // The end of a scan as the user sees it: the engine is done and the
    // shell has given the menus back.
    static bool ScanEndedInWindow(shell::MainWindow& window) {
        return ScanEnded() && window.TopMenus()[0]->menuAction()->isEnabled();
    }
    // Both sessions' tracks with their directories, the lead-out, the
    // caption and the summary line.
    static void ExpectSampleDiscShown(shell::MainWindow& window) {
        EXPECT_EQ(scan::LastScanOutcome(), scan::ScanOutcome::Completed);
        const QAbstractItemModel* tree = window.Tree()->model();
        const QStringList tracks = ChildTexts(tree, {});
        ASSERT_EQ(tracks.size(), 3) << tracks.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(tracks[0].contains(QStringLiteral("HOLIDAY_2024"))) << tracks[0].toStdString();
        EXPECT_TRUE(tracks[0].contains(QStringLiteral("Session 1"))) << tracks[0].toStdString();
        EXPECT_TRUE(tracks[1].contains(QStringLiteral("Session 2"))) << tracks[1].toStdString();
        // The first session's folders, the hidden ones included; the second
        // lists only the photo it kept.
        window.Tree()->expandAll();
        const QStringList first = ChildTexts(tree, tree->index(0, 0));
        EXPECT_TRUE(first.contains(QStringLiteral("PHOTOS"))) << first.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(first.contains(QStringLiteral("NOTES"))) << first.join(QLatin1Char('|')).toStdString();
        const QStringList second = ChildTexts(tree, tree->index(1, 0));
        EXPECT_TRUE(second.contains(QStringLiteral("PHOTOS"))) << second.join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(second.contains(QStringLiteral("NOTES"))) << second.join(QLatin1Char('|')).toStdString();

        EXPECT_EQ(window.windowTitle(), QStringLiteral("HOLIDAY_2024 - Pellor Dravik"));
        std::string summary = messages::ProgramLanguage().Text(scan::kScanSummaryStatus);
        ASSERT_FALSE(summary.empty());
        EXPECT_EQ(window.Status()->Text(0), QString::asprintf(summary.c_str(), 2, 2));
        // The scan selects the first track: the list shows its root.
        EXPECT_EQ(window.Tree()->currentIndex(), tree->index(0, 0));
        EXPECT_GT(window.Views()->ListModel()->rowCount(), 0);
    }

    std::unique_ptr<shell::Program> program_;
};

TEST_F(SampleDiscTest, StartUpScansTheDriveUsedLastWithTheRealEngine) {
    char letter = 0;
    std::string error;
    ASSERT_TRUE(platform::DriveTable::AddProcessImage(SampleDisc(), letter, error)) << error;
    app::WriteProgramString(app::kLastDeviceValue, std::string(1, letter) + ":");
    shell::MainWindow& window = Start();
    ASSERT_NE(scan::SelectedDevice(), nullptr);
    EXPECT_EQ(scan::SelectedDevice(), scan::SelectedDevice()) << "the engine reads the drive the shell chose";
    ASSERT_TRUE(WaitUntil([&] { return ScanEndedInWindow(window); }, kScanTimeoutMs));
    ExpectSampleDiscShown(window);

    window.resize(900, 560);
    window.SetListStyle(shell::kDetails);
    // Room for the tracks' whole names.
    window.Views()->setSizes({300, 600});
    WaitUntil([] { return false; }, 100);
    SaveScreenshot(&window, "main_window_sample_disc");
    scan::ClearTrackList(false);
}

// Audio tracks of a cue image with TITLE lines are named by their CD-TEXT
// titles in the tree, and the album title names the window.
TEST_F(SampleDiscTest, AudioTracksCarryTheirCdTextTitles) {
    TempDir dir;
    dir.Write("album.bin", std::string(std::size_t{2352} * 300, '\0'));
    const std::string cue = dir.Write("album.cue",
                                      "TITLE \"My Album\"\nFILE \"album.bin\" BINARY\n"
                                      "  TRACK 01 AUDIO\n    TITLE \"First Song\"\n    INDEX 01 00:00:00\n"
                                      "  TRACK 02 AUDIO\n    TITLE \"Second Song\"\n    INDEX 01 00:02:00\n");
    char letter = 0;
    std::string error;
    ASSERT_TRUE(platform::DriveTable::AddProcessImage(cue, letter, error)) << error;
    app::WriteProgramString(app::kLastDeviceValue, std::string(1, letter) + ":");
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEndedInWindow(window); }, kScanTimeoutMs));
    const QStringList tracks = ChildTexts(window.Tree()->model(), {});
    ASSERT_GE(tracks.size(), 2) << tracks.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(tracks[0].startsWith(QStringLiteral("First Song"))) << tracks[0].toStdString();
    EXPECT_TRUE(tracks[1].startsWith(QStringLiteral("Second Song"))) << tracks[1].toStdString();
    EXPECT_TRUE(window.windowTitle().startsWith(QStringLiteral("My Album"))) << window.windowTitle().toStdString();
    scan::ClearTrackList(false);
}

TEST_F(SampleDiscTest, OpenDiscImageHandsTheImageDriveToTheEngine) {
    // Start over the blank test image (drive D:), then open the sample disc.
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEndedInWindow(window); }, kScanTimeoutMs));
    device::CDDevice* blank = scan::SelectedDevice();
    ASSERT_NE(blank, nullptr);
    EXPECT_STREQ(blank->GetDeviceId(), "D:");
    EXPECT_NE(window.windowTitle(), QStringLiteral("HOLIDAY_2024 - Pellor Dravik"));

    shell::SetImagePathChooser([](QWidget*) { return QString::fromStdString(SampleDisc()); });
    window.Command(shell::kOpenImageCommand);
    ASSERT_NE(scan::SelectedDevice(), blank);
    EXPECT_EQ(scan::SelectedDevice(), scan::SelectedDevice());
    ASSERT_TRUE(WaitUntil([&] { return ScanEndedInWindow(window); }, kScanTimeoutMs));
    ExpectSampleDiscShown(window);
    scan::ClearTrackList(false);
}

}  // namespace
}  // namespace dravik::test
