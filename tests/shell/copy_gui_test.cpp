// The copy commands in the program over the sample disc (two sessions,
// written by dravik-cli make-demo) with the real scan engine: files chosen
// in the list and a folder of the tree are copied byte for byte, a file
// with an unreadable block is listed as damaged, Cancel leaves no partial
// file, and the commands that would change the catalogue wait meanwhile.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "gui_fixture.h"
#include "platform/drives/drive_table.h"
#include "program/app/copy_job.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/messages/language_module.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/shell/catalogue_tree_model.h"
#include "program/shell/catalogue_views.h"
#include "program/shell/copy_command.h"
#include "program/shell/copy_progress_dialog.h"
#include "program/shell/copy_summary_dialog.h"
#include "program/shell/disc_info_window.h"
#include "program/shell/file_list_model.h"
#include "program/shell/main_window.h"
#include "program/shell/select_drive_dialog.h"
#include "program/shell/startup.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

constexpr int kScanTimeoutMs = 60000;
constexpr char kTrack1[] = "HOLIDAY_2024 (Session 1)";

// The sample disc's folder, written once per test process.
const std::string& SampleFolder() { return SampleDiscFolder(); }

std::string ReadFile(const std::string& path, std::uint64_t offset = 0, std::uint64_t length = UINT64_MAX) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<none>";
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    return length < bytes.size() ? bytes.substr(0, length) : bytes;
}

// Every entry below `folder`, relative to it.
std::set<std::string> Everything(const std::string& folder) {
    std::set<std::string> all;
    if (!fs::exists(folder)) return all;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        all.insert(fs::relative(entry.path(), folder).string());
    return all;
}

class CopyGuiTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_FALSE(SampleFolder().empty()) << "dravik-cli make-demo failed";
        app::InstallScanThread(&scan::ScanThread);
        shell::SetCopyFolderChooser([this](QWidget*, const QString& start) {
            offeredFolder_ = start;
            return QString::fromStdString(out_.path());
        });
    }
    void TearDown() override {
        if (program_) shell::ShutdownProgram(*program_);
        program_.reset();
        scan::ClearTrackList(false);
        app::InstallScanThread(nullptr);
        shell::SetCopyFolderChooser(nullptr);
        shell::SetImagePathChooser(nullptr);
        shell::SetSavePathChooser(nullptr);
        settings::ProgramSettings.CopyPrompt = 0;
        scan::CloseRequested = 0;
        GuiTest::TearDown();
    }

    // Starts the program over a disc description and waits for its scan.
    shell::MainWindow& StartOver(const std::string& vdisc) {
        char letter = 0;
        std::string error;
        EXPECT_TRUE(platform::DriveTable::AddProcessImage(vdisc, letter, error)) << error;
        app::WriteProgramString(app::kLastDeviceValue, std::string(1, letter) + ":");
        program_ = shell::StartProgram({});
        shell::MainWindow& window = *program_->window;
        EXPECT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
        return window;
    }
    // The scan's end as the window shows it: the menus are back and the
    // toolbar's copy and rescan buttons are enabled.
    static bool ScanEnded(shell::MainWindow& window) {
        const scan::ScanOutcome outcome = scan::LastScanOutcome();
        return !scan::ScanRunning && outcome != scan::ScanOutcome::Running && outcome != scan::ScanOutcome::None &&
               window.TopMenus()[0]->menuAction()->isEnabled() && window.ToolbarAction(40020)->isEnabled() &&
               window.ToolbarAction(40019)->isEnabled();
    }

    // The item `path` ("PHOTOS/IMG_0001.JPG;1") below the first track's root.
    static scan::FoundItem* Find(const std::string& path) {
        scan::CatalogueGuard guard;
        scan::FoundItem* item = scan::TrackListHead ? scan::TrackListHead->rootItem : nullptr;
        std::size_t at = 0;
        while (item && at < path.size()) {
            const std::size_t slash = path.find('/', at);
            const std::string name = path.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
            scan::FoundItem* child = item->firstChild;
            while (child && name != child->Name()) child = child->next;
            item = child;
            at = slash == std::string::npos ? path.size() : slash + 1;
        }
        return item;
    }
    static void ShowFolder(shell::MainWindow& window, const std::string& path) {
        scan::FoundItem* folder = Find(path);
        ASSERT_NE(folder, nullptr) << path;
        window.Views()->SelectTreeItem(folder->treeView.handle);
    }
    static void SelectInList(shell::MainWindow& window, const std::vector<std::string>& names) {
        shell::CatalogueViews& views = *window.Views();
        QItemSelectionModel* selection = views.List()->selectionModel();
        selection->clearSelection();
        const auto& rows = views.ListModel()->Items();
        for (const std::string& name : names) {
            int row = -1;
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (name == rows[i]->Name()) row = static_cast<int>(i);
            ASSERT_GE(row, 0) << name;
            selection->select(views.ListModel()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    // Runs a copy command and waits for its summary window.
    shell::CopySummaryDialog* Copy(shell::MainWindow& window, int id) {
        window.Command(id);
        shell::CopyCommand* copier = window.Copier();
        EXPECT_TRUE(WaitUntil([&] { return !copier->Running() && copier->Summary(); }, kScanTimeoutMs));
        return copier->Summary();
    }
    // A file of the first session as the image holds it (its blocks count
    // from the image's start).
    std::string DiscBytes(const std::string& path) const {
        const scan::FoundItem* item = Find(path);
        if (!item) return "<not on the disc>";
        return ReadFile(SampleFolder() + "/session1.iso", std::uint64_t(item->start) * 2048, item->size);
    }
    std::string Copied(const std::string& path) const { return ReadFile(out_.File(std::string(kTrack1) + "/" + path)); }

    TempDir out_;
    QString offeredFolder_;
    std::unique_ptr<shell::Program> program_;
};

TEST_F(CopyGuiTest, SelectedFilesAreCopiedByteForByteAndReplacingIsAskedOnce) {
    shell::MainWindow& window = StartOver(SampleFolder() + "/sample.vdisc");
    ShowFolder(window, "PHOTOS");
    SelectInList(window, {"IMG_0001.JPG;1", "IMG_0003.JPG;1"});
    shell::CopySummaryDialog* summary = Copy(window, 40020);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->Headline()->text(), QStringLiteral("2 written, 0 damaged, 0 missing, 0 skipped, 0 failed"));
    EXPECT_EQ(Everything(out_.path()), (std::set<std::string>{kTrack1, std::string(kTrack1) + "/PHOTOS",
                                                              std::string(kTrack1) + "/PHOTOS/IMG_0001.JPG",
                                                              std::string(kTrack1) + "/PHOTOS/IMG_0003.JPG"}));
    EXPECT_EQ(Copied("PHOTOS/IMG_0001.JPG"), DiscBytes("PHOTOS/IMG_0001.JPG;1"));
    EXPECT_EQ(Copied("PHOTOS/IMG_0003.JPG"), DiscBytes("PHOTOS/IMG_0003.JPG;1"));
    EXPECT_GT(Copied("PHOTOS/IMG_0001.JPG").size(), 1000u);
    SaveScreenshot(summary, "copy_summary");
    // The folder is offered again next time, also after a restart.
    EXPECT_EQ(app::ReadProgramString(shell::kCopyFolderValue, ""), out_.path());

    // The same files again: one question, answered for all.
    std::ofstream(out_.File(std::string(kTrack1) + "/PHOTOS/IMG_0001.JPG")) << "changed";
    std::ofstream(out_.File(std::string(kTrack1) + "/PHOTOS/IMG_0003.JPG")) << "changed";
    int asked = 0;
    WhenDialogOpens(QStringLiteral("CopyReplaceQuestion"), [&asked](QDialog* box) {
        ++asked;
        static_cast<QMessageBox*>(box)->button(QMessageBox::YesToAll)->click();
    });
    summary = Copy(window, 40010);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(offeredFolder_, QString::fromStdString(out_.path()));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Copied("PHOTOS/IMG_0001.JPG"), DiscBytes("PHOTOS/IMG_0001.JPG;1"));
    EXPECT_EQ(Copied("PHOTOS/IMG_0003.JPG"), DiscBytes("PHOTOS/IMG_0003.JPG;1"));
}

TEST_F(CopyGuiTest, TheTreesPopupCopiesItsFolderWithEverythingBelowAndNothingSelectedCopiesTheShownFolder) {
    shell::MainWindow& window = StartOver(SampleFolder() + "/sample.vdisc");
    scan::FoundItem* photos = Find("PHOTOS");
    ASSERT_NE(photos, nullptr);
    // The popup opens over PHOTOS while the tree's current node is the track.
    QTreeView* tree = window.Tree();
    tree->expandAll();
    const QModelIndex index = window.Views()->TreeModel()->IndexOf(photos->treeView.handle);
    ASSERT_TRUE(index.isValid());
    emit tree->customContextMenuRequested(tree->visualRect(index).center());
    window.TreePopup()->close();
    shell::CopySummaryDialog* summary = Copy(window, 99);
    ASSERT_NE(summary, nullptr);
    std::set<std::string> expected = {kTrack1, std::string(kTrack1) + "/PHOTOS"};
    for (const char* name : {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"})
        expected.insert(std::string(kTrack1) + "/PHOTOS/" + name);
    EXPECT_EQ(Everything(out_.path()), expected);
    EXPECT_EQ(Copied("PHOTOS/IMG_0002.JPG"), DiscBytes("PHOTOS/IMG_0002.JPG;1"));

    // Copy Files To with nothing selected in the list: the shown folder.
    fs::remove_all(out_.File(kTrack1));
    ShowFolder(window, "NOTES");
    window.Views()->List()->selectionModel()->clearSelection();
    summary = Copy(window, 40020);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(Everything(out_.path()), (std::set<std::string>{kTrack1, std::string(kTrack1) + "/NOTES",
                                                              std::string(kTrack1) + "/NOTES/TODO.TXT"}));
    EXPECT_EQ(Copied("NOTES/TODO.TXT"), DiscBytes("NOTES/TODO.TXT;1"));
}

TEST_F(CopyGuiTest, AFileWithAnUnreadableBlockIsListedAsDamagedAndTheListCanBeSaved) {
    // The first scan tells where the photo lies; the same disc with that
    // photo's second block unreadable is then opened.
    shell::MainWindow& window = StartOver(SampleFolder() + "/sample.vdisc");
    const scan::FoundItem* photo = Find("PHOTOS/IMG_0002.JPG;1");
    ASSERT_NE(photo, nullptr);
    ASSERT_GT(photo->size, 2048u);
    const int bad = photo->start + 1;
    const std::string damaged = SampleFolder() + "/damaged.vdisc";
    std::ofstream(damaged) << ReadFile(SampleFolder() + "/sample.vdisc") << "unreadable " << bad << "\n";
    shell::SetImagePathChooser([damaged](QWidget*) { return QString::fromStdString(damaged); });
    window.Command(shell::kOpenImageCommand);
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));

    ShowFolder(window, "PHOTOS");
    SelectInList(window, {"IMG_0001.JPG;1", "IMG_0002.JPG;1"});
    shell::CopySummaryDialog* summary = Copy(window, 40020);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->Headline()->text(), QStringLiteral("1 written, 1 damaged, 0 missing, 0 skipped, 0 failed"));
    const QString list = summary->List()->toPlainText();
    EXPECT_TRUE(list.contains(QStringLiteral("damaged  %1/PHOTOS/IMG_0002.JPG  unreadable blocks %2 (written as zeros)")
                                  .arg(QLatin1String(kTrack1))
                                  .arg(bad)))
        << list.toStdString();
    // The damaged copy holds zeros for the unreadable block, the disc's
    // bytes elsewhere.
    std::string expected = DiscBytes("PHOTOS/IMG_0002.JPG;1");
    std::fill_n(expected.begin() + 2048, std::min<std::size_t>(2048, expected.size() - 2048), '\0');
    EXPECT_EQ(Copied("PHOTOS/IMG_0002.JPG"), expected);

    const std::string saved = out_.File("list.txt");
    shell::SetSavePathChooser([&saved](QWidget*, const QString&, const QString&) { return QString::fromStdString(saved); });
    summary->SaveButton()->click();
    const std::string text = ReadFile(saved);
    EXPECT_EQ(text.rfind("1 written, 1 damaged", 0), 0u) << text;
    EXPECT_NE(text.find("unreadable blocks " + std::to_string(bad)), std::string::npos) << text;
}

TEST_F(CopyGuiTest, CancelLeavesNoPartialFileAndTheCatalogueCommandsWaitMeanwhile) {
    shell::MainWindow& window = StartOver(SampleFolder() + "/sample.vdisc");
    settings::ProgramSettings.CopyPrompt = 1;
    ShowFolder(window, "PHOTOS");
    SelectInList(window, {"IMG_0001.JPG;1", "IMG_0002.JPG;1"});
    bool lockedWhileAsking = false, secondCopyRefused = false;
    int asked = 0;
    // The first file is asked about; while the question is open the user
    // presses Cancel in the progress window, then says copy: the file
    // begins and is stopped at its first block.
    WhenDialogOpens(QStringLiteral("CopyEachFileQuestion"), [&](QDialog* box) {
        ++asked;
        shell::CopyCommand* copier = window.Copier();
        ASSERT_NE(copier->Progress(), nullptr);
        SaveScreenshot(copier->Progress(), "copy_progress");
        EXPECT_TRUE(app::CopyRunning());
        EXPECT_FALSE(window.ToolbarAction(40019)->isEnabled());
        EXPECT_FALSE(window.CommandActions(40020).front()->isEnabled());
        lockedWhileAsking = app::CopyRunning() && !window.ToolbarAction(40019)->isEnabled() &&
                            !window.CommandActions(40020).front()->isEnabled() && !app::StartScan();
        shell::CopyProgressDialog* progress = copier->Progress();
        window.Command(40020);
        secondCopyRefused = copier->Progress() == progress;
        progress->CancelButton()->click();
        static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    const bool toolbarBefore = window.ToolbarAction(40019)->isEnabled();
    shell::CopySummaryDialog* summary = Copy(window, 40020);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(lockedWhileAsking);
    EXPECT_TRUE(secondCopyRefused);
    EXPECT_TRUE(summary->Headline()->text().endsWith(QStringLiteral("cancelled"))) << summary->Headline()->text().toStdString();
    // The file begun was removed; nothing else was left, not even a
    // temporary file.
    for (const std::string& entry : Everything(out_.path()))
        EXPECT_EQ(entry.find("IMG_"), std::string::npos) << entry;
    EXPECT_FALSE(app::CopyRunning());
    EXPECT_EQ(window.ToolbarAction(40019)->isEnabled(), toolbarBefore) << "commands come back after the copy";
}

// Disc Information: both sessions' tracks with what they hold, and a
// report saved as JSON equal to what dravik-cli scan --json prints.
TEST_F(CopyGuiTest, DiscInformationShowsBothSessionsAndSavesTheScanReport) {
    shell::MainWindow& window = StartOver(SampleFolder() + "/sample.vdisc");
    window.Command(40036);
    auto* info = qobject_cast<shell::DiscInfoWindow*>(OpenDialog(QStringLiteral("DiscInformation")));
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->DriveLabel()->text().startsWith(QStringLiteral("Drive: DRAVIK"))) << info->DriveLabel()->text().toStdString();
    EXPECT_TRUE(info->MediumLabel()->text().contains(QStringLiteral("2 session(s), finalized")))
        << info->MediumLabel()->text().toStdString();
    QTableWidget* tracks = info->Tracks();
    ASSERT_EQ(tracks->rowCount(), 3);
    auto cell = [&](int row, int column) { return tracks->item(row, column)->text(); };
    EXPECT_EQ(cell(0, shell::DiscInfoWindow::kSession), QStringLiteral("1"));
    EXPECT_EQ(cell(1, shell::DiscInfoWindow::kSession), QStringLiteral("2"));
    EXPECT_EQ(cell(1, shell::DiscInfoWindow::kStart), QStringLiteral("11474"));
    EXPECT_EQ(cell(0, shell::DiscInfoWindow::kFileSystem), QStringLiteral("ISO 9660"));
    EXPECT_EQ(cell(0, shell::DiscInfoWindow::kVolume), QStringLiteral("HOLIDAY_2024 (Session 1)"));
    EXPECT_EQ(cell(0, shell::DiscInfoWindow::kFiles), QStringLiteral("5"));
    EXPECT_EQ(cell(1, shell::DiscInfoWindow::kFiles), QStringLiteral("3"));
    EXPECT_EQ(cell(2, shell::DiscInfoWindow::kNumber), QStringLiteral("Lead-out"));
    info->resize(980, 300);
    SaveScreenshot(info, "disc_information");

    const std::string saved = out_.File("report.json");
    shell::SetSavePathChooser([&saved](QWidget*, const QString&, const QString&) { return QString::fromStdString(saved); });
    info->SaveButton()->click();
    TempDir config;
    const CliRun scan = RunCli({"scan", "--json", SampleFolder() + "/sample.vdisc"},
                               {{"DRAVIK_IMAGES", ""}, {"DRAVIK_CONFIG_DIR", config.path()}});
    ASSERT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(ReadFile(saved), scan.out);
    EXPECT_TRUE(info->SaveReport(QString::fromStdString(out_.File("report.txt"))));
    EXPECT_NE(ReadFile(out_.File("report.txt")).find("Track 2  session 2  start 11474"), std::string::npos);
    info->close();
}

}  // namespace
}  // namespace dravik::test
