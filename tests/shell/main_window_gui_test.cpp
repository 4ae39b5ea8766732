// Start-up, the main window and its commands, through the same start-up
// and shutdown the program runs, over a virtual drive.
#include <QAction>
#include <QImage>
#include <QStyle>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <thread>

#include "device/cddevice/cddevice.h"
#include "gui_fixture.h"
#include "program/scan/scan_device.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/shell/form_loader.h"
#include "program/shell/help_pages.h"
#include "program/shell/main_window.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/messages/show_status.h"
#include "program/shell/startup.h"
#include "program/shell/status_bar.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

using shell::MainWindow;

std::atomic<int> g_scans{0};
// A stand-in for the scan engine's body: it runs until the user closes the
// window or cancels, as the readers do when they poll.
void ScanUntilStopped() {
    ++g_scans;
    while (!scan::CloseRequested && !(scan::SelectedDevice() && scan::SelectedDevice()->IsAbortSet()))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}
void ScanAtOnce() { ++g_scans; }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages::LanguageModule& language = messages::ProgramLanguage();
        if (!language.Loaded()) {
            ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
        }
        shell::SetUrlOpener([this](const QUrl& url) {
            opened_.push_back(url);
            return true;
        });
        app::InstallScanThread(nullptr);
        g_scans = 0;
        // The test image's drive was used last: start-up takes it.
        app::WriteProgramString(app::kLastDeviceValue, "D:");
    }
    void TearDown() override {
        if (program_) shell::ShutdownProgram(*program_);
        program_.reset();
        app::InstallScanThread(nullptr);
        scan::CloseRequested = 0;
        diag::DebugMode = false;
        diag::LogWriteThrough = false;
        shell::SetUrlOpener(nullptr);
    }
    MainWindow& Start(const std::vector<std::string>& arguments = {}) {
        program_ = shell::StartProgram(arguments);
        EXPECT_TRUE(program_->run);
        EXPECT_NE(program_->window, nullptr);
        return *program_->window;
    }

    std::unique_ptr<shell::Program> program_;
    std::vector<QUrl> opened_;
};

TEST_F(MainWindowTest, StartUpSelectsTheVirtualDriveAndBuildsTheWindow) {
    MainWindow& window = Start();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Pellor Dravik"));
    EXPECT_FALSE(window.BusyCursor()) << "the busy cursor ends with start-up";
    ASSERT_NE(scan::SelectedDevice(), nullptr);
    // Four status parts, the fourth naming the drive.
    EXPECT_EQ(window.Status()->PartCount(), 4);
    EXPECT_NE(window.Status()->Text(3).indexOf(QString::fromUtf8(scan::SelectedDevice()->GetDeviceName())), -1);
    EXPECT_FALSE(window.Status()->DebugIconShown());
    EXPECT_EQ(window.Status()->Part(1)->toolTip(), QString::fromStdString(messages::ProgramLanguage().Text(1101)));
    // The toolbar: eight buttons in order with their first states.
    QList<QAction*> buttons = window.Toolbar()->actions();
    ASSERT_EQ(buttons.size(), MainWindow::kToolbarButtons);
    const int ids[] = {40018, 40019, 0, 40020, 40038, 40039, 0, 40049};
    // With the drive chosen: eject, and load when the drive can pull its
    // tray in; the rest waits for the end of a scan.
    const bool canLoad = scan::SelectedDevice()->CanLoadDisc();
    const bool enabled[] = {true, false, true, false, true, canLoad, true, false};
    for (int i = 0; i < MainWindow::kToolbarButtons; ++i) {
        EXPECT_EQ(buttons[i]->isSeparator(), ids[i] == 0) << i;
        if (ids[i] == 0) continue;
        EXPECT_EQ(buttons[i]->data().toInt(), ids[i]);
        EXPECT_EQ(buttons[i]->isEnabled(), enabled[i]) << ids[i];
        EXPECT_EQ(buttons[i]->toolTip(), QString::fromStdString(messages::ProgramLanguage().Text(ids[i])));
    }
    ASSERT_NE(window.ToolbarAction(40049)->menu(), nullptr);
    EXPECT_EQ(window.ToolbarAction(40049)->menu()->actions().size(), 4);
    // Eject and load show tray symbols, not the style's navigation arrows.
    const QImage eject = window.ToolbarAction(40038)->icon().pixmap(24).toImage();
    const QImage load = window.ToolbarAction(40039)->icon().pixmap(24).toImage();
    EXPECT_NE(eject, load);
    EXPECT_NE(eject, window.style()->standardIcon(QStyle::SP_ArrowUp).pixmap(24).toImage());
    EXPECT_NE(load, window.style()->standardIcon(QStyle::SP_ArrowDown).pixmap(24).toImage());
    SaveScreenshot(window.Toolbar(), "toolbar");
    // The scan engine's place: no body installed, so nothing runs.
    EXPECT_FALSE(scan::ScanRunning);
    EXPECT_EQ(g_scans, 0);
}

TEST_F(MainWindowTest, DebugSwitchThreeTurnsOnDebugModeAndWriteThrough) {
    MainWindow& window = Start({"-D3"});
    EXPECT_TRUE(diag::DebugMode);
    EXPECT_TRUE(diag::LogWriteThrough);
    EXPECT_FALSE(diag::TrackAllocations);
    EXPECT_TRUE(window.Status()->DebugIconShown());
}

TEST_F(MainWindowTest, BadSwitchShowsMessage206AndEnds) {
    QString shown;
    WhenMessageBoxOpens([&](QDialog* box) {
        shown = shell::FormControl<QLabel>(box, 1087)->text();
        PressMessageButton(box, 1);
    });
    program_ = shell::StartProgram({"-D", "/x"});
    EXPECT_FALSE(program_->run);
    EXPECT_EQ(program_->exitCode, 0);
    EXPECT_EQ(program_->window, nullptr);
    EXPECT_EQ(shown.toStdString(), "Unknown command-line option: /x");
}

TEST_F(MainWindowTest, AcceleratorGivesItsCommandOnceAndNoKeyToTheView) {
    MainWindow& window = Start();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.Tree()->setFocus();
    std::vector<int> commands;
    QObject::connect(&window, &MainWindow::commandIssued, [&](int id) { commands.push_back(id); });
    struct KeyCounter : QObject {
        int keys = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            // The modifier's own press reaches the view, as it should.
            if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() != Qt::Key_Control)
                ++keys;
            return false;
        }
    } counter;
    window.Tree()->installEventFilter(&counter);
    QTest::keyClick(window.Tree(), Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(commands, std::vector<int>{40027});
    EXPECT_EQ(window.ListStyle(), 3);
    EXPECT_TRUE(window.CommandActions(40004).front()->isChecked()) << "the view menu shows the style";
    EXPECT_EQ(counter.keys, 0);
    commands.clear();
    QTest::keyClick(window.Tree(), Qt::Key_F1);
    EXPECT_EQ(commands, std::vector<int>{901});
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_TRUE(opened_[0].toLocalFile().endsWith(QStringLiteral("/help/index.html")));
    window.Tree()->removeEventFilter(&counter);
}

TEST_F(MainWindowTest, MenuHelpShowsTheCommandTextWhileHovered) {
    MainWindow& window = Start();
    window.CommandActions(40018).front()->hover();
    EXPECT_EQ(window.Status()->Text(0), QString::fromStdString(messages::ProgramLanguage().Text(40018)));
    window.TopMenus()[1]->menuAction()->hover();
    EXPECT_TRUE(window.Status()->Text(0).isEmpty());
    messages::ShowStatus(0, "Plain text");
    EXPECT_EQ(window.Status()->Text(0), QStringLiteral("Plain text"));
    messages::ShowStatus(31999);  // no such text: nothing changes
    EXPECT_EQ(window.Status()->Text(0), QStringLiteral("Plain text"));
}

TEST_F(MainWindowTest, ClosingDuringAScanAsksAndQuitsOnlyWhenTheUserSaysSo) {
    app::InstallScanThread(ScanUntilStopped);
    MainWindow& window = Start();
    ASSERT_TRUE(scan::ScanRunning);
    EXPECT_FALSE(window.TopMenus()[0]->menuAction()->isEnabled());
    EXPECT_FALSE(window.TopMenus()[2]->menuAction()->isEnabled());
    EXPECT_TRUE(window.TopMenus()[3]->menuAction()->isEnabled());
    // A scan command by key waits while the scan runs.
    std::vector<int> commands;
    QObject::connect(&window, &MainWindow::commandIssued, [&](int id) { commands.push_back(id); });
    window.Command(40015);
    EXPECT_TRUE(commands.empty());
    // No: the scan goes on and the window stays.
    QString asked;
    WhenMessageBoxOpens([&](QDialog* box) {
        asked = shell::FormControl<QLabel>(box, 1087)->text();
        PressMessageButton(box, 2);
    });
    window.close();
    EXPECT_EQ(asked, QStringLiteral("Stop the scan and quit?"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(scan::ScanRunning);
    EXPECT_EQ(scan::CloseRequested, 0);
    // Yes: the scan stops, then the window closes by itself.
    WhenMessageBoxOpens([](QDialog* box) { PressMessageButton(box, 1); });
    window.close();
    EXPECT_EQ(scan::CloseRequested, 1);
    ASSERT_TRUE(WaitUntil([&] { return !scan::ScanRunning && !window.isVisible(); }));
    EXPECT_EQ(g_scans, 1);
}

TEST_F(MainWindowTest, ACommandAfterAStoppedScanNeverClosesTheWindow) {
    app::InstallScanThread(ScanAtOnce);
    MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([] { return !scan::ScanRunning; }));
    // What a stopped scan leaves behind, then keys a user presses.
    scan::CloseRequested = 1;
    for (int id : {40001, 40004, 40049}) {
        window.Command(id);
        EXPECT_TRUE(window.isVisible()) << "command " << id;
    }
    // The next scan starts without the old stop.
    window.Command(40019);
    ASSERT_TRUE(WaitUntil([] { return g_scans == 2 && !scan::ScanRunning; }));
    EXPECT_EQ(scan::CloseRequested, 0);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, RescanAsksFirstWhenResultsExist) {
    app::InstallScanThread(ScanAtOnce);
    MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([] { return !scan::ScanRunning; }));
    ASSERT_EQ(g_scans, 1);
    scan::AppendTrackNode(scan::NewTrackNode());
    QString asked;
    WhenMessageBoxOpens([&](QDialog* box) {
        asked = shell::FormControl<QLabel>(box, 1087)->text();
        EXPECT_EQ(box->findChild<QWidget*>(QStringLiteral("id2"))->property("default").toBool(), true);
        PressMessageButton(box, 2);
    });
    window.Command(40015);
    EXPECT_EQ(asked.toStdString(), messages::ProgramLanguage().Text(253));
    EXPECT_EQ(g_scans, 1) << "Cancel keeps the results";
    WhenMessageBoxOpens([](QDialog* box) { PressMessageButton(box, 1); });
    window.Command(40019);
    ASSERT_TRUE(WaitUntil([] { return g_scans == 2 && !scan::ScanRunning; }));
    scan::ClearTrackList(false);
}

TEST_F(MainWindowTest, ScanThreadInsertionsStatusAndCaptionReachTheWindow) {
    MainWindow& window = Start();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        port::ShellPort* port = port::InstalledShellPort();
        messages::ProgressOpen(false);
        messages::ProgressTick();
        port::TreeItemRequest root;
        root.text = "\\ MYDISC (Session 1)";
        root.hasChildren = true;
        port::TreeHandle disc = port->InsertTreeItem(root);
        for (const char* name : {"DOCS", "PHOTOS", "MUSIC"}) {
            port::TreeItemRequest child;
            child.parent = disc;
            child.text = name;
            port->InsertTreeItem(child);
        }
        port::TreeItemRequest lead;
        lead.text = "Lead-out at block 23456";
        port->InsertTreeItem(lead);
        port->SelectTreeItem(disc);
        port->SetCaption("MYDISC - Pellor Dravik");
        messages::ShowStatus(0, "1 track in 1 session");
        port->EnableCommand(40019, true);
        messages::ProgressClose();
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
    worker.join();
    QAbstractItemModel* tree = window.Tree()->model();
    ASSERT_EQ(tree->rowCount(), 2);
    window.Tree()->expandAll();
    EXPECT_EQ(tree->rowCount(tree->index(0, 0)), 3);
    EXPECT_EQ(window.Tree()->currentIndex(), tree->index(0, 0));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("MYDISC - Pellor Dravik"));
    EXPECT_EQ(window.Status()->Text(0), QStringLiteral("1 track in 1 session"));
    EXPECT_TRUE(window.ToolbarAction(40019)->isEnabled());
    SaveScreenshot(&window, "main_window_handover");
}

}  // namespace
}  // namespace dravik::test
