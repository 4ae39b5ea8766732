// A scan that is stopped midway (the window closed, Cancel in the progress
// dialog) with the real scan engine: the partial result says it is
// incomplete, and the next scan, of a healthy disc, shows its whole tree.
#include <QAbstractItemModel>
#include <QLabel>
#include <QMenu>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "device/cddevice/cddevice.h"
#include "gui_fixture.h"
#include "platform/drives/drive_table.h"
#include "program/app/recent_images.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/messages/language_module.h"
#include "program/messages/scan_progress.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_device.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/shell/catalogue_tree_model.h"
#include "program/shell/catalogue_views.h"
#include "program/shell/form_loader.h"
#include "program/shell/main_window.h"
#include "program/shell/select_drive_dialog.h"
#include "program/shell/startup.h"
#include "program/shell/status_bar.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

constexpr int kScanTimeoutMs = 60000;

TempDir& Folder() {
    static TempDir dir;
    return dir;
}

// The two-session sample disc of dravik-cli make-demo.
const std::string& HealthyDisc() {
    static const std::string path = SampleDiscPath();
    return path;
}

// An ISO image with many folders of small files: its scan lasts long
// enough to be stopped in the middle.
const std::string& LargeDisc() {
    static const std::string path = [] {
        namespace fs = std::filesystem;
        const fs::path source = Folder().File("large");
        for (int folder = 0; folder < 60; ++folder) {
            const fs::path dir = source / ("DIR" + std::to_string(folder));
            fs::create_directories(dir);
            for (int file = 0; file < 150; ++file) std::ofstream(dir / ("F" + std::to_string(file) + ".TXT")) << file;
        }
        const std::string image = Folder().File("large.iso");
        const std::string command =
            "genisoimage -quiet -V LARGEDISC -o '" + image + "' '" + source.string() + "' >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 ? image : std::string();
    }();
    return path;
}

class ScanRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages::LanguageModule& language = messages::ProgramLanguage();
        if (!language.Loaded()) {
            ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
        }
        ASSERT_FALSE(HealthyDisc().empty()) << "dravik-cli make-demo failed";
        ASSERT_FALSE(LargeDisc().empty()) << "genisoimage failed";
        app::InstallScanThread(&scan::ScanThread);
        app::StoreRecentImages({});
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
    // Starts over the large disc and waits until the engine reads its
    // first track.
    shell::MainWindow& StartOverLargeDisc() {
        char letter = 0;
        std::string error;
        EXPECT_TRUE(platform::DriveTable::AddProcessImage(LargeDisc(), letter, error)) << error;
        app::WriteProgramString(app::kLastDeviceValue, std::string(1, letter) + ":");
        program_ = shell::StartProgram({});
        EXPECT_TRUE(program_->run);
        EXPECT_TRUE(WaitUntil([] { return scan::ScanCurrentTrack() >= 1; }, kScanTimeoutMs));
        return *program_->window;
    }
    static bool ScanEnded(shell::MainWindow& window) {
        const scan::ScanOutcome outcome = scan::LastScanOutcome();
        return !scan::ScanRunning && outcome != scan::ScanOutcome::Running &&
               window.TopMenus()[0]->menuAction()->isEnabled();
    }
    // Opens the healthy disc as the user would and checks its whole tree.
    static void ScanHealthyDisc(shell::MainWindow& window) {
        shell::SetImagePathChooser([](QWidget*) { return QString::fromStdString(HealthyDisc()); });
        window.Command(shell::kOpenImageCommand);
        ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
        EXPECT_EQ(scan::LastScanOutcome(), scan::ScanOutcome::Completed);
        const QAbstractItemModel* tree = window.Tree()->model();
        const QStringList tracks = ChildTexts(tree, {});
        ASSERT_EQ(tracks.size(), 3) << tracks.join(QLatin1Char('|')).toStdString();
        for (const QString& track : tracks) EXPECT_FALSE(track.contains(QStringLiteral("Unrecognised")));
        window.Tree()->expandAll();
        const QStringList first = ChildTexts(tree, tree->index(0, 0));
        EXPECT_TRUE(first.contains(QStringLiteral("PHOTOS"))) << first.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(first.contains(QStringLiteral("NOTES"))) << first.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(window.windowTitle(), QStringLiteral("HOLIDAY_2024 - Pellor Dravik"));
    }

    std::unique_ptr<shell::Program> program_;
};

TEST_F(ScanRecoveryTest, AScanStoppedByClosingLeavesNothingBehindForTheNextScan) {
    shell::MainWindow& window = StartOverLargeDisc();
    ASSERT_TRUE(scan::ScanRunning) << "the large disc was read before the close came";
    QString asked;
    WhenMessageBoxOpens([&](QDialog* box) {
        asked = shell::FormControl<QLabel>(box, 1087)->text();
        PressMessageButton(box, 1);
    });
    window.close();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window) && !window.isVisible(); }, kScanTimeoutMs));
    EXPECT_EQ(asked, QStringLiteral("Stop the scan and quit?"));
    EXPECT_EQ(scan::LastScanOutcome(), scan::ScanOutcome::Cancelled);

    // The program is shown again (as a test can) and scans a healthy disc:
    // nothing of the stopped scan may reach it.
    window.show();
    ScanHealthyDisc(window);
    EXPECT_TRUE(window.isVisible());
    scan::ClearTrackList(false);
}

TEST_F(ScanRecoveryTest, ACancelledScanIsMarkedIncomplete) {
    shell::MainWindow& window = StartOverLargeDisc();
    ASSERT_TRUE(scan::ScanRunning);
    messages::ProgressCancel();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    ASSERT_EQ(scan::LastScanOutcome(), scan::ScanOutcome::Cancelled);
    EXPECT_TRUE(window.Status()->Text(0).contains(QStringLiteral("incomplete"))) << window.Status()->Text(0).toStdString();
    // The track that was being read carries the mark, in the engine and
    // in the tree's tooltip.
    {
        scan::CatalogueGuard hold;
        ASSERT_NE(scan::TrackListHead, nullptr);
        EXPECT_TRUE(scan::TrackListHead->flags & scan::TrackStoppedEarly);
        ASSERT_NE(scan::TrackListHead->rootItem, nullptr);
        EXPECT_TRUE(scan::TrackListHead->rootItem->flags & scan::ItemIncomplete);
    }
    const QAbstractItemModel* tree = window.Tree()->model();
    ASSERT_GT(tree->rowCount(), 0);
    const QString tip = tree->index(0, 0).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains(QStringLiteral("stopped"))) << tip.toStdString();
    SaveScreenshot(&window, "scan_stopped_marks");

    ScanHealthyDisc(window);
    EXPECT_FALSE(window.Status()->Text(0).contains(QStringLiteral("incomplete")));
    scan::ClearTrackList(false);
}

}  // namespace
}  // namespace dravik::test
