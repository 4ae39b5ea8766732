// Drive selection: the drive used last taken at start, the selection
// dialog (lines, readiness check, OK, Cancel, no drives), disc images
// opened as drives from the dialog and from the File menu, and -K.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <fstream>

#include "device/cddevice/cddevice.h"
#include "gui_fixture.h"
#include "program/scan/scan_device.h"
#include "program/messages/language_module.h"
#include "program/scan/scan_state.h"
#include "program/app/drive_selection.h"
#include "program/shell/form_loader.h"
#include "program/shell/main_window.h"
#include "program/app/scan_launch.h"
#include "program/shell/select_drive_dialog.h"
#include "program/app/settings_store.h"
#include "program/shell/startup.h"
#include "program/shell/status_bar.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

std::atomic<int> g_scans{0};
void ScanAtOnce() { ++g_scans; }

std::string Text(unsigned id) { return messages::ProgramLanguage().Text(id); }
QStringList Lines(QDialog* dialog) {
    QStringList lines;
    auto* list = shell::FormControl<QListWidget>(dialog, 101);
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

class DriveSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages::LanguageModule& language = messages::ProgramLanguage();
        if (!language.Loaded()) {
            ASSERT_TRUE(language.LoadFrom(BuildDir() + "/bin/liblangres.so"));
        }
        app::InstallScanThread(ScanAtOnce);
        g_scans = 0;
        shell::SetImagePathChooser([this](QWidget*) { return chosenImage_; });
    }
    void TearDown() override {
        if (program_) shell::ShutdownProgram(*program_);
        program_.reset();
        app::InstallScanThread(nullptr);
        shell::SetImagePathChooser(nullptr);
        scan::CloseRequested = 0;
    }
    shell::MainWindow& Start(const std::vector<std::string>& arguments = {}) {
        program_ = shell::StartProgram(arguments);
        EXPECT_TRUE(program_->run);
        return *program_->window;
    }
    std::string MakeIso(const char* name) {
        const std::string path = dir_.File(name);
        std::ofstream(path, std::ios::binary) << std::string(64 * 2048, '\0');
        return path;
    }

    TempDir dir_;
    QString chosenImage_;
    std::unique_ptr<shell::Program> program_;
};

TEST_F(DriveSelectionTest, LastDeviceReadyAtStartIsScannedWithoutTheDialog) {
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    Start();
    ASSERT_NE(scan::SelectedDevice(), nullptr);
    EXPECT_STREQ(scan::SelectedDevice()->GetDeviceId(), "D:");
    ASSERT_TRUE(WaitUntil([] { return g_scans == 1 && !scan::ScanRunning; }));
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(OpenDialog(QStringLiteral("SelectDrive")), nullptr);
    EXPECT_EQ(app::DeviceList().size(), 1u);
    EXPECT_TRUE(program_->window->CommandActions(40015).front()->isEnabled());
    EXPECT_FALSE(program_->window->ToolbarAction(40019)->isEnabled()) << "until a scan has ended";
}

TEST_F(DriveSelectionTest, NoMatchingLastDeviceOpensTheDialogInstead) {
    struct Row {
        const char* lastDevice;
        bool autoStart;
    } rows[] = {{"d:", true}, {"", true}, {"D:", false}, {"Q:", true}};
    for (const Row& row : rows) {
        app::WriteProgramString(app::kLastDeviceValue, row.lastDevice);
        app::WriteProgramNumber("AutoStart", row.autoStart ? 1 : 0);
        bool opened = false;
        WhenDialogOpens(QStringLiteral("SelectDrive"), [&](QDialog* dialog) {
            opened = true;
            shell::FormControl<QPushButton>(dialog, 2)->click();
        });
        Start();
        EXPECT_EQ(scan::SelectedDevice(), nullptr) << row.lastDevice;
        EXPECT_TRUE(WaitUntil([&] { return opened; })) << row.lastDevice;
        EXPECT_EQ(g_scans, 0) << row.lastDevice;
        shell::ShutdownProgram(*program_);
        program_.reset();
    }
}

TEST_F(DriveSelectionTest, TwoDrivesOfOneModelAreToldApartAndTheChosenOneIsUsed) {
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([] { return !scan::ScanRunning; }));
    std::string error;
    ASSERT_NE(app::AddImageDrive(MakeIso("second.iso"), error), nullptr) << error;
    QStringList lines;
    int current = -2;
    WhenDialogOpens(QStringLiteral("SelectDrive"), [&](QDialog* dialog) {
        lines = Lines(dialog);
        current = shell::FormControl<QListWidget>(dialog, 101)->currentRow();
        SaveScreenshot(dialog, "select_drive_dialog");
        auto* list = shell::FormControl<QListWidget>(dialog, 101);
        list->setCurrentRow(1);
        shell::FormControl<QPushButton>(dialog, 1)->click();
    });
    window.Command(40018);
    const QString name = QString::fromUtf8(app::DeviceList().front()->GetDeviceName());
    // Each virtual drive names the image it holds.
    EXPECT_EQ(lines, (QStringList{QStringLiteral("D:  ") + name + QStringLiteral("  (blank.iso)"),
                                  QStringLiteral("E:  ") + name + QStringLiteral("  (second.iso)")}));
    EXPECT_EQ(current, 0) << "the drive in use is marked";
    ASSERT_NE(scan::SelectedDevice(), nullptr);
    EXPECT_STREQ(scan::SelectedDevice()->GetDeviceId(), "E:");
    EXPECT_EQ(app::ReadProgramString(app::kLastDeviceValue, ""), "E:");
    EXPECT_NE(window.Status()->Text(3).indexOf(QStringLiteral("E:")), -1);
    ASSERT_TRUE(WaitUntil([] { return g_scans == 2 && !scan::ScanRunning; }));
}

TEST_F(DriveSelectionTest, DriveWithoutDiscCannotBeChosenAndOkNeedsALine) {
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([] { return !scan::ScanRunning; }));
    std::ofstream(dir_.File("empty.vdisc")) << "product \"EMPTY TRAY\"\nmedium none\n";
    std::string error;
    ASSERT_NE(app::AddImageDrive(dir_.File("empty.vdisc"), error), nullptr) << error;
    std::vector<std::string> messages;
    int selectedAfterRefusal = -2;
    WhenDialogOpens(QStringLiteral("SelectDrive"), [&](QDialog* dialog) {
        auto* list = shell::FormControl<QListWidget>(dialog, 101);
        WhenMessageBoxOpens([&, list, dialog](QDialog* box) {
            messages.push_back(shell::FormControl<QLabel>(box, 1087)->text().toStdString());
            PressMessageButton(box, 1);
            QTimer::singleShot(0, dialog, [&, list, dialog] {
                selectedAfterRefusal = static_cast<int>(list->selectedItems().size());
                WhenMessageBoxOpens([&, dialog](QDialog* second) {
                    messages.push_back(shell::FormControl<QLabel>(second, 1087)->text().toStdString());
                    PressMessageButton(second, 1);
                    QTimer::singleShot(0, dialog, [dialog] { shell::FormControl<QPushButton>(dialog, 2)->click(); });
                });
                shell::FormControl<QPushButton>(dialog, 1)->click();
            });
        });
        // The empty tray's line (drives of earlier tests may come before it).
        for (int row = 0; row < list->count(); ++row)
            if (list->item(row)->text().contains(QStringLiteral("EMPTY TRAY"))) list->setCurrentRow(row);
    });
    window.Command(40018);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].find("EMPTY TRAY"), std::string::npos) << messages[0];
    EXPECT_EQ(messages[0].substr(0, 10), Text(108).substr(0, 10));
    EXPECT_EQ(messages[1], Text(102));
    EXPECT_EQ(selectedAfterRefusal, 0);
    EXPECT_STREQ(scan::SelectedDevice()->GetDeviceId(), "D:") << "cancel keeps the drive in use";
    EXPECT_EQ(g_scans, 1);
}

class EmptyDriveListTest : public GuiTest {};

TEST_F(EmptyDriveListTest, DialogShowsMessage103AndCancels) {
    app::ReleaseDevices();
    shell::SelectDriveDialog dialog(nullptr);
    QString shown;
    WhenMessageBoxOpens([&](QDialog* box) {
        shown = shell::FormControl<QLabel>(box, 1087)->text();
        PressMessageButton(box, 1);
    });
    EXPECT_EQ(dialog.Exec(), 0);
    EXPECT_EQ(shown.toStdString(), Text(103));
}

TEST_F(DriveSelectionTest, ImageOpenedInTheDialogIsAddedAndSelected) {
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([] { return !scan::ScanRunning; }));
    const std::string good = MakeIso("good.iso");
    std::string refusal;
    QStringList lines;
    int current = -1;
    WhenDialogOpens(QStringLiteral("SelectDrive"), [&](QDialog* dialog) {
        chosenImage_ = dir_.File("missing.iso").c_str();
        WhenMessageBoxOpens([&, dialog](QDialog* box) {
            refusal = shell::FormControl<QLabel>(box, 1087)->text().toStdString();
            PressMessageButton(box, 1);
            QTimer::singleShot(0, dialog, [&, dialog] {
                chosenImage_ = QString::fromStdString(good);
                shell::FormControl<QPushButton>(dialog, 40061)->click();
                lines = Lines(dialog);
                current = shell::FormControl<QListWidget>(dialog, 101)->currentRow();
                SaveScreenshot(dialog, "select_drive_dialog_with_image");
                shell::FormControl<QPushButton>(dialog, 1)->click();
            });
        });
        shell::FormControl<QPushButton>(dialog, 40061)->click();
    });
    window.Command(40018);
    EXPECT_NE(refusal.find("missing.iso"), std::string::npos) << refusal;
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("E:  "))) << lines[1].toStdString();
    EXPECT_EQ(current, 1);
    EXPECT_STREQ(scan::SelectedDevice()->GetDeviceId(), "E:");
}

TEST_F(DriveSelectionTest, OpenDiscImageCommandScansTheImageOrKeepsTheDriveWhenItCannot) {
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    shell::MainWindow& window = Start();
    ASSERT_TRUE(WaitUntil([] { return g_scans == 1 && !scan::ScanRunning; }));
    device::CDDevice* before = scan::SelectedDevice();
    std::ofstream(dir_.File("bad.cue")) << "FILE \"gone.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n";
    chosenImage_ = QString::fromStdString(dir_.File("bad.cue"));
    QString shown;
    WhenMessageBoxOpens([&](QDialog* box) {
        shown = shell::FormControl<QLabel>(box, 1087)->text();
        PressMessageButton(box, 1);
    });
    window.Command(shell::kOpenImageCommand);
    EXPECT_TRUE(shown.contains(QStringLiteral("bad.cue"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("gone.bin"))) << "the reason is named: " << shown.toStdString();
    EXPECT_EQ(scan::SelectedDevice(), before);
    EXPECT_EQ(app::DeviceList().size(), 1u);
    EXPECT_EQ(g_scans, 1);

    chosenImage_ = QString::fromStdString(MakeIso("fine.iso"));
    window.Command(shell::kOpenImageCommand);
    ASSERT_NE(scan::SelectedDevice(), before);
    EXPECT_STREQ(scan::SelectedDevice()->GetDeviceId(), "E:");
    ASSERT_TRUE(WaitUntil([] { return g_scans == 2 && !scan::ScanRunning; }));
    // Cancelling the file dialog does nothing.
    chosenImage_.clear();
    window.Command(shell::kOpenImageCommand);
    EXPECT_EQ(app::DeviceList().size(), 2u);
}

TEST_F(DriveSelectionTest, DatabaseAnalysisOfTheShippedDatabaseRaisesNoWarning) {
    int warnings = 0;
    shell::SetAnalysisWarning([&] { ++warnings; });
    app::WriteProgramString(app::kLastDeviceValue, "D:");
    Start({"-K"});
    EXPECT_EQ(warnings, 0);
    EXPECT_TRUE(app::AnalyzeDeviceDatabase());
    shell::SetAnalysisWarning(nullptr);
}

}  // namespace
}  // namespace dravik::test
