// The graphical program as a new user meets it: a disc that is still
// spinning up, a machine without a drive, images remembered between runs,
// help without a browser, and damage shown in the views.
#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTextBrowser>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gui_fixture.h"
#include "program/app/drive_selection.h"
#include "program/app/recent_images.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/messages/language_module.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/scan_device.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/shell/catalogue_views.h"
#include "program/shell/file_list_model.h"
#include "program/shell/help_pages.h"
#include "program/shell/help_window.h"
#include "program/shell/main_window.h"
#include "program/shell/no_drive_offer.h"
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

const std::string& SampleDisc() {
    static const std::string path = SampleDiscPath();
    return path;
}

// The sample disc's description with directives put in front of it (the
// copy sits beside it, so its relative paths still hold).
std::string SampleDiscWith(const std::string& name, const std::string& directives) {
    std::ifstream in(SampleDisc());
    std::stringstream text;
    text << in.rdbuf();
    const std::string path = std::filesystem::path(SampleDisc()).parent_path() / name;
    std::ofstream(path) << directives << "\n" << text.str();
    return path;
}

// The extent of the entry at `path` (names from the root) in an ISO
// image; -1 when absent.
std::int32_t IsoExtent(const std::string& image, const std::vector<std::string>& path) {
    std::ifstream in(image, std::ios::binary);
    std::string block(2048, '\0');
    auto read = [&](std::int64_t at) {
        in.seekg(at * 2048);
        in.read(block.data(), 2048);
        return static_cast<bool>(in);
    };
    auto le32 = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(block[at + static_cast<std::size_t>(i)]);
        return static_cast<std::int32_t>(value);
    };
    if (!read(16)) return -1;
    std::int32_t extent = le32(156 + 2);
    for (const std::string& name : path) {
        if (!read(extent)) return -1;
        std::int32_t found = -1;
        for (std::size_t at = 0; at < 2048 && block[at] != 0; at += static_cast<std::uint8_t>(block[at])) {
            const std::string id = block.substr(at + 33, static_cast<std::uint8_t>(block[at + 32]));
            if (id == name || id == name + ";1") found = le32(at + 2);
        }
        if (found < 0) return -1;
        extent = found;
    }
    return extent;
}

// A disc whose folder LOST has an unreadable directory block and whose
// track ends before GOOD/LATE.TXT, the file written last, starts.
const std::string& DamagedDisc() {
    static const std::string path = [] {
        namespace fs = std::filesystem;
        const fs::path source = Folder().File("damaged");
        fs::create_directories(source / "GOOD");
        fs::create_directories(source / "LOST");
        std::ofstream(source / "GOOD" / "LATE.TXT") << "late";
        for (int i = 0; i < 3; ++i) std::ofstream(source / "LOST" / ("L" + std::to_string(i) + ".TXT")) << i;
        std::ofstream(source / "ROOT.TXT") << std::string(5000, 'r');
        const std::string image = Folder().File("damaged.iso");
        const std::string command = "genisoimage -quiet -V DAMAGED -o '" + image + "' '" + source.string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return std::string();
        const std::int32_t lost = IsoExtent(image, {"LOST"});
        const std::int32_t late = IsoExtent(image, {"GOOD", "LATE.TXT"});
        for (const char* other : {"ROOT.TXT"})
            if (IsoExtent(image, {other}) >= late) return std::string();
        if (lost < 0 || late < 0) return std::string();
        const std::string description = Folder().File("damaged.vdisc");
        std::ofstream(description) << "track mode1 file " << image << " length " << late << "\nunreadable " << lost << "\n";
        return description;
    }();
    return path;
}

class WindowFaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages::LanguageModule& language = messages::ProgramLanguage();
        if (!language.Loaded()) {
            ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
        }
        ASSERT_FALSE(SampleDisc().empty()) << "dravik-cli make-demo failed";
        app::InstallScanThread(&scan::ScanThread);
        app::StoreRecentImages({});
        app::WriteProgramString(app::kLastDeviceValue, "D:");
    }
    void TearDown() override {
        if (program_) shell::ShutdownProgram(*program_);
        program_.reset();
        app::InstallScanThread(nullptr);
        shell::SetImagePathChooser(nullptr);
        shell::SetUrlOpener(nullptr);
        app::StoreRecentImages({});
        scan::CloseRequested = 0;
    }
    shell::MainWindow& Start() {
        program_ = shell::StartProgram({});
        EXPECT_TRUE(program_->run);
        return *program_->window;
    }
    static bool ScanEnded(shell::MainWindow& window) {
        const scan::ScanOutcome outcome = scan::LastScanOutcome();
        return !scan::ScanRunning && outcome != scan::ScanOutcome::Running &&
               window.TopMenus()[0]->menuAction()->isEnabled();
    }
    void Restart() {
        shell::ShutdownProgram(*program_);
        program_.reset();
        Start();
    }
    // Opens `path` through Open Disc Image and waits for its scan.
    static void OpenAndScan(shell::MainWindow& window, const std::string& path) {
        shell::SetImagePathChooser([path](QWidget*) { return QString::fromStdString(path); });
        window.Command(shell::kOpenImageCommand);
        ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    }

    std::unique_ptr<shell::Program> program_;
};

TEST_F(WindowFaultsTest, ADiscStillSpinningUpIsWaitedForAndRead) {
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    OpenAndScan(window, SampleDiscWith("slow-start.vdisc", "not-ready 3"));
    EXPECT_EQ(scan::LastScanOutcome(), scan::ScanOutcome::Completed);
    EXPECT_EQ(ChildTexts(window.Tree()->model(), {}).size(), 3);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("HOLIDAY_2024 - Pellor Dravik"));
    scan::ClearTrackList(false);
}

TEST_F(WindowFaultsTest, VirtualDrivesNameTheirImageAndRefusedOnesSayWhy) {
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    ASSERT_NE(scan::SelectedDevice(), nullptr);
    EXPECT_TRUE(shell::DriveLine(*scan::SelectedDevice()).endsWith(QStringLiteral("(blank.iso)")))
        << shell::DriveLine(*scan::SelectedDevice()).toStdString();

    // A drive with an empty tray is refused when chosen and says why; a
    // fixed disk fails the device check and is listed grayed.
    const std::string empty = Folder().File("empty.vdisc");
    std::ofstream(empty) << "medium none\n";
    const std::string disk = Folder().File("disk.vdisc");
    std::ofstream(disk) << "device-type 0\nremovable no\nmedium none\n";
    QStringList lines;
    bool diskGrayed = false;
    WhenDialogOpens(QStringLiteral("SelectDrive"), [&](QDialog* dialog) {
        auto* open = dialog->findChild<QAbstractButton*>(QStringLiteral("id40061"));
        for (const std::string& image : {empty, disk}) {
            shell::SetImagePathChooser([image](QWidget*) { return QString::fromStdString(image); });
            WhenMessageBoxOpens([](QDialog* box) { PressMessageButton(box, 1); });
            open->click();
        }
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("id101"));
        for (int row = 0; row < list->count(); ++row) {
            lines << list->item(row)->text();
            if (list->item(row)->text().contains(QStringLiteral("disk.vdisc")))
                diskGrayed = !(list->item(row)->flags() & Qt::ItemIsEnabled);
        }
        SaveScreenshot(dialog, "drive_list_refused");
        dialog->reject();
    });
    window.Command(40018);
    const QString all = lines.join(QLatin1Char('|'));
    EXPECT_TRUE(all.contains(QStringLiteral("(empty.vdisc)  - refused: no disc in the drive"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("disk.vdisc  - refused: "))) << all.toStdString();
    EXPECT_TRUE(diskGrayed);
}

TEST_F(WindowFaultsTest, WithoutADriveTheMessageOffersOpenDiscImage) {
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    // No drive at all, as on a desktop without one.
    app::ReleaseDevices();
    window.UpdateDeviceControls();
    for (int id : {40015, 40038, 40039})
        for (QAction* action : window.CommandActions(id)) EXPECT_FALSE(action->isEnabled()) << "command " << id;
    QString text;
    WhenDialogOpens(QString::fromLatin1(shell::kNoDriveDialogName), [&](QDialog* box) {
        text = static_cast<QMessageBox*>(box)->text();
        SaveScreenshot(box, "first_start_no_drive");
        for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
            if (button->text() == QStringLiteral("Open Disc Image...")) button->click();
    });
    shell::SetImagePathChooser([](QWidget*) { return QString::fromStdString(SampleDisc()); });
    window.Command(40018);
    EXPECT_FALSE(text.contains(QStringLiteral("start the program again"))) << text.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("HOLIDAY_2024 - Pellor Dravik"));
    for (QAction* action : window.CommandActions(40015)) EXPECT_TRUE(action->isEnabled());
    scan::ClearTrackList(false);
}

TEST_F(WindowFaultsTest, OpenedImagesSurviveARestart) {
    shell::MainWindow& first = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(first); }, kScanTimeoutMs));
    ASSERT_TRUE(first.RecentImagesMenu()->actions().isEmpty());
    OpenAndScan(first, SampleDisc());
    scan::ClearTrackList(false);

    Restart();
    shell::MainWindow& window = *program_->window;
    const QList<QAction*> recent = window.RecentImagesMenu()->actions();
    ASSERT_EQ(recent.size(), 1);
    EXPECT_EQ(recent.front()->text(), QStringLiteral("sample.vdisc"));
    EXPECT_TRUE(recent.front()->isEnabled());
    // The image used last is the drive the start scans.
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("HOLIDAY_2024 - Pellor Dravik"));
    scan::ClearTrackList(false);
}

TEST_F(WindowFaultsTest, HelpFallsBackToTheProgramsOwnWindow) {
    if (shell::HelpIndexPath().isEmpty()) GTEST_SKIP() << "the help pages are not beside the test program";
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    std::vector<QUrl> tried;
    shell::SetUrlOpener([&](const QUrl& url) {
        tried.push_back(url);
        return false;  // no launcher on this desktop
    });
    window.Command(901);
    ASSERT_EQ(tried.size(), 1u);
    QTextBrowser* browser = shell::HelpBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->window()->isVisible());
    EXPECT_EQ(browser->source().fileName(), QStringLiteral("index.html"));
    EXPECT_FALSE(browser->toPlainText().isEmpty());
    SaveScreenshot(browser->window(), "help_window");
    EXPECT_TRUE(shell::OpenHelpTopic(1));
    EXPECT_EQ(browser->source().fileName(), QStringLiteral("options.html"));
}

TEST_F(WindowFaultsTest, UnreadableFoldersAndMissingFilesCarryMarks) {
    ASSERT_FALSE(DamagedDisc().empty()) << "genisoimage failed";
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    // The scan reports the skipped directory block in a message.
    WhenMessageBoxOpens([](QDialog* box) { PressMessageButton(box, 1); });
    OpenAndScan(window, DamagedDisc());
    const QAbstractItemModel* tree = window.Tree()->model();
    window.Tree()->expandAll();
    const QModelIndex root = tree->index(0, 0);
    QModelIndex lost, good;
    for (int row = 0; row < tree->rowCount(root); ++row) {
        const QModelIndex child = tree->index(row, 0, root);
        if (child.data().toString() == QStringLiteral("LOST")) lost = child;
        if (child.data().toString() == QStringLiteral("GOOD")) good = child;
    }
    ASSERT_TRUE(lost.isValid() && good.isValid()) << ChildTexts(tree, root).join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(lost.data(Qt::ToolTipRole).toString().contains(QStringLiteral("could not be read")));
    EXPECT_FALSE(good.data(Qt::ToolTipRole).toString().contains(QStringLiteral("could not be read")));
    // Opening the folder says in the status line what is lost.
    window.Tree()->setCurrentIndex(lost);
    EXPECT_TRUE(window.Status()->Text(0).contains(QStringLiteral("could not be read"))) << window.Status()->Text(0).toStdString();

    // GOOD's list: the late file is missing, with its mark's tooltip.
    window.Tree()->setCurrentIndex(good);
    window.SetListStyle(shell::kDetails);
    const shell::FileListModel* list = window.Views()->ListModel();
    bool sawMissing = false;
    for (int row = 0; row < list->rowCount(); ++row) {
        const QModelIndex name = list->index(row, 0);
        const QString tip = name.data(Qt::ToolTipRole).toString();
        if (name.data().toString().startsWith(QStringLiteral("LATE"))) {
            sawMissing = tip.contains(QStringLiteral("not on the disc"));
        } else {
            EXPECT_FALSE(tip.contains(QStringLiteral("not on the disc"))) << tip.toStdString();
        }
    }
    EXPECT_TRUE(sawMissing);
    window.Tree()->setCurrentIndex(lost);
    window.Views()->setSizes({260, 600});
    SaveScreenshot(&window, "damage_marks");
    scan::ClearTrackList(false);
}

TEST_F(WindowFaultsTest, EnterOpensAFolderAndAltUpOrBackspaceGoBack) {
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([&] { return ScanEnded(window); }, kScanTimeoutMs));
    OpenAndScan(window, SampleDisc());
    const QModelIndex root = window.Tree()->model()->index(0, 0);
    window.Tree()->setCurrentIndex(root);
    window.SetListStyle(shell::kDetails);
    QAbstractItemView* list = window.List();
    const shell::FileListModel* model = window.Views()->ListModel();
    int photos = -1;
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 0).data().toString() == QStringLiteral("PHOTOS")) photos = row;
    ASSERT_GE(photos, 0);
    struct Key {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } backKeys[] = {{"Backspace", Qt::Key_Backspace, Qt::NoModifier}, {"Alt+Up", Qt::Key_Up, Qt::AltModifier}};
    for (const Key& back : backKeys) {
        list->setCurrentIndex(model->index(photos, 0));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return window.Tree()->currentIndex().data().toString() == QStringLiteral("PHOTOS"); }))
            << "Enter before " << back.what;
        QTest::keyClick(window.List(), back.key, back.modifiers);
        EXPECT_EQ(window.Tree()->currentIndex(), root) << back.what;
    }
    scan::ClearTrackList(false);
}

TEST(ReadingOptionsTest, OnlyOptionsThatChangeReadingOfferAScan) {
    struct Row {
        const char* what;
        std::uint8_t settings::Settings::*field;
        bool reading;
    } rows[] = {
        {"Joliet", &settings::Settings::IgnoreJoliet, true},
        {"intensive scan", &settings::Settings::IntensiveScan, true},
        {"show all areas", &settings::Settings::ShowAll, true},
        {"accept errors", &settings::Settings::AcceptErrors, true},
        {"UDF duplicates", &settings::Settings::KeepUDFDups, true},
        {"version suffix", &settings::Settings::RemoveVersion, false},
        {"sorting", &settings::Settings::SortInitial, false},
        {"window placement", &settings::Settings::SavePos, false},
    };
    const settings::Settings before;
    EXPECT_FALSE(shell::ReadingOptionsChanged(before, before));
    for (const Row& row : rows) {
        settings::Settings after;
        after.*row.field = static_cast<std::uint8_t>(!(after.*row.field));
        EXPECT_EQ(shell::ReadingOptionsChanged(before, after), row.reading) << row.what;
    }
}

}  // namespace
}  // namespace dravik::test
