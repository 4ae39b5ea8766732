// The command table of the main window: what each menu, toolbar and
// accelerator id does.
#include <QApplication>
#include <QUrl>
#include <chrono>
#include <thread>

#include "device/cddevice/cddevice.h"
#include "device/regstore/registry_store.h"
#include "program/scan/scan_device.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/shell/about_box.h"
#include "program/shell/catalogue_views.h"
#include "program/shell/copy_command.h"
#include "program/shell/disc_info_window.h"
#include "program/app/drive_selection.h"
#include "program/app/recent_images.h"
#include "program/shell/no_drive_offer.h"
#include "program/shell/help_pages.h"
#include "program/shell/main_window.h"
#include "program/shell/options_dialog.h"
#include "program/app/scan_launch.h"
#include "program/shell/select_drive_dialog.h"
#include "program/settings/settings.h"

namespace dravik::shell {

namespace {

constexpr unsigned kDriveNotReady = 107;
constexpr unsigned kRescanConfirmation = 253;
constexpr char kRescanWithOptionsText[] = "The new options change how discs are read. Scan the disc again now?";
constexpr unsigned char kNotReadyAsc = 4;
constexpr auto kNotReadyPause = std::chrono::milliseconds(500);
// A drive that says "becoming ready" for longer than this is taken as not
// ready: the wait runs on the user-interface thread, which must not hang.
constexpr int kMaxNotReadyPauses = 60;
// The update page when the settings name none.
constexpr char kDefaultUpdatePage[] = "https://www.quenby.example/dravik/update";

// Waits for the drive as the scan does; false (after message 107) when it
// does not become ready.
bool WaitForDrive(MainWindow& window, device::CDDevice& drive) {
    window.SetBusyCursor(true);
    for (int pauses = 0; !drive.CheckDevice(true) && drive.GetSenseCode() == kNotReadyAsc &&
                         pauses < kMaxNotReadyPauses;
         ++pauses)
        std::this_thread::sleep_for(kNotReadyPause);
    bool ready = drive.CheckDevice(true);
    window.SetBusyCursor(false);
    if (!ready) messages::ShowMessage(static_cast<int>(kDriveNotReady), drive.GetDeviceName());
    return ready;
}

}  // namespace

void MainWindow::RunCommandTable(int id) {
    switch (id) {
        case 901: ShowHelp(); break;
        case 51683: ShowAbout(); break;
        case 51682: close(); break;
        case 40039:
            if (device::CDDevice* drive = scan::SelectedDevice()) {
                if (drive->CDTrayControl(false)) app::StartScan();
            } else {
                messages::ShowMessage(static_cast<int>(app::kNoDriveSelected));
            }
            break;
        case 40038:
            if (device::CDDevice* drive = scan::SelectedDevice())
                drive->CDTrayControl(true);
            else
                messages::ShowMessage(static_cast<int>(app::kNoDriveSelected));
            break;
        case 40018:
        case 51685: SelectDriveAndScan(); break;
        case kOpenImageCommand: OpenDiscImage(); break;
        case 40015:
        case 40019: Rescan(); break;
        case 40009:
            ShowOptions();
            ShowDeviceStatus();
            break;
        case 40001:
        case 40002:
        case 40003:
        case 40004: SetListStyle(id - 40001); break;
        case 40024:
        case 40025:
        case 40026:
        case 40027: SetListStyle(id - 40024); break;
        case 40016: OpenUpdatePage(); break;
        case 40010:
        case 40020:
        case 99: copier_->Run(id); break;
        case 40036: ShowDiscInformation(*this); break;
        default: break;
    }
}

void MainWindow::Rescan() {
    device::CDDevice* drive = scan::SelectedDevice();
    if (!drive) {
        messages::ShowMessage(static_cast<int>(app::kNoDriveSelected));
        return;
    }
    if (!WaitForDrive(*this, *drive)) return;
    if (scan::TrackListHead) {
        if (messages::ShowMessage(messages::MessageIdWithFlags(kRescanConfirmation)) != 1) return;
    }
    app::StartScan();
}

void MainWindow::SelectDriveAndScan() {
    // No drive at all (and none refused either): offer an image instead.
    if (app::DeviceList().empty() && app::RefusedDrives().empty()) {
        if (OfferDiscImage(this)) OpenDiscImage();
        return;
    }
    SelectDriveDialog dialog(this);
    if (dialog.Exec() == 1) {
        UpdateRecentImages();
        app::StartScan();
    }
}

void MainWindow::OpenDiscImage() {
    const QString path = ChooseImagePath(this);
    if (!path.isEmpty()) OpenImageAt(path);
}

// The image becomes a drive of the list and the drive in use; a scan of it
// starts at once, as after choosing a drive in the dialog.
void MainWindow::OpenImageAt(const QString& path) {
    device::CDDevice* drive = OpenImageDrive(path, nullptr);
    if (!drive) return;
    // As in dravik-cli: a disc that is still spinning up is waited for by
    // the scan, not refused here.
    if (!app::DriveAccepted(*drive)) {
        messages::ShowMessage(static_cast<int>(app::kDriveNotUsable), drive->GetDeviceName());
        return;
    }
    app::RememberImage(path.toStdString());
    UpdateRecentImages();
    app::ChooseDevice(drive);
    app::StartScan();
}

void MainWindow::ShowOptions() {
    const settings::Settings before = settings::ProgramSettings;
    OptionsDialog dialog(this);
    if (dialog.Exec() != 1) return;
    views_->RepaintViews();
    // Options that change how a disc is read take effect at the next scan:
    // with results on screen, offer that scan now.
    if (scan::TrackListHead && scan::SelectedDevice() && ReadingOptionsChanged(before, settings::ProgramSettings) &&
        messages::ShowMessage(static_cast<int>(port::kMessageKindYesNo << 16), kRescanWithOptionsText) == port::kResultYes)
        app::StartScan();
}

bool ReadingOptionsChanged(const settings::Settings& before, const settings::Settings& after) {
    return before.IgnoreJoliet != after.IgnoreJoliet || before.AcceptErrors != after.AcceptErrors ||
           before.IntensiveScan != after.IntensiveScan || before.KeepUDFDups != after.KeepUDFDups ||
           before.ShowAll != after.ShowAll;
}

void MainWindow::UpdateDeviceControls() {
    // Scan Again, Eject and Load need a drive: without one they are grayed
    // rather than answering with an error box.
    device::CDDevice* drive = scan::SelectedDevice();
    EnableCommand(40015, drive != nullptr);
    EnableCommand(40038, drive != nullptr);
    EnableCommand(40039, drive && drive->CanLoadDisc());
    // Until a scan has run.
    for (int id : {40020, 40049, 40019}) EnableCommand(id, false);
}

void MainWindow::ShowHelp() {
    QString index = HelpIndexPath();
    if (index.isEmpty()) {
        if (diag::DebugMode) diag::DebugPrint("The help pages are not installed beside the program");
        return;
    }
    ShowHelpPage(index);
}

void MainWindow::ShowAbout() {
    RunAboutBox(this);
}

void MainWindow::OpenUpdatePage() {
    std::string page;
    ::RegistryStore store;
    if (store.Open(".DRAVIK")) page = store.ReadString("UpdateCenter", "");
    if (page.empty()) page = kDefaultUpdatePage;
    OpenUrl(QUrl(QString::fromStdString(page)));
}

}  // namespace dravik::shell
