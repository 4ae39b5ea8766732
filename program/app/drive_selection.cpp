#include "program/app/drive_selection.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "device/cddevice/cddevice.h"
#include "device/ddb/ddb_info.h"
#include "platform/drives/drive_table.h"
#include "program/app/device_setup.h"
#include "program/app/recent_images.h"
#include "program/app/settings_store.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/show_message.h"
#include "program/scan/scan_device.h"
#include "program/settings/settings.h"

namespace dravik::app {

namespace {

// Texts of the database analysis are cut to this many characters.
constexpr std::size_t kMaxAnalysisText = 400;
constexpr unsigned char kNoLetter = 255;

std::vector<std::unique_ptr<device::CDDevice>> g_devices;
std::vector<RefusedDrive> g_refused;
DriveSelectionHooks g_hooks;

// Sense codes of the readiness check.
constexpr unsigned char kNotReadyKey = 0x02;
constexpr unsigned char kBecomingReadyCode = 0x04;
constexpr unsigned char kBecomingReadyQualifier = 0x01;
constexpr unsigned char kNoMediumCode = 0x3A;

void RecordRefused(device::CDDevice& device, std::string reason) {
    const std::string id = device.GetDeviceId();
    for (RefusedDrive& known : g_refused) {
        if (known.id == id) {
            known.reason = std::move(reason);
            return;
        }
    }
    std::string name = device.GetDeviceName();
    const std::string image = ImagePathOfDrive(device);
    if (!image.empty()) name = image;
    g_refused.push_back({id, name, std::move(reason)});
}

// The database analysis's messages go to the log whether or not debug mode
// is on.
int AnalysisMessage(int id, ...) {
    va_list arguments;
    va_start(arguments, id);
    std::string text;
    const unsigned number = static_cast<unsigned>(id) & 0xFFFF;
    if (number == 0) {
        const char* given = va_arg(arguments, const char*);
        text = given ? given : "";
    } else {
        std::string format = messages::MessageLanguage().Text(number);
        if (format.size() > kMaxAnalysisText) format.resize(kMaxAnalysisText);
        text = messages::FormatMessageText(number, format, arguments);
    }
    va_end(arguments);
    diag::DebugPrint("%s", text.c_str());
    return 0;
}

}  // namespace

const std::vector<std::unique_ptr<device::CDDevice>>& DeviceList() { return g_devices; }

void InstallDriveSelectionHooks(DriveSelectionHooks hooks) { g_hooks = std::move(hooks); }
void ShowDeviceStatusNow() {
    if (g_hooks.showDeviceStatus) g_hooks.showDeviceStatus();
}
void UpdateDeviceControlsNow() {
    if (g_hooks.updateDeviceControls) g_hooks.updateDeviceControls();
}

bool SelectDeviceAtStart() {
    if (diag::DebugMode) diag::DebugPrint("Checking available devices ...");
    // The step reached, for the log when something throws.
    char step = 'A';
    std::unique_ptr<device::CDDevice> device;
    try {
        device = std::make_unique<device::CDDevice>();
        step = 'B';
        PrepareDevice(*device);
        step = 'C';
        if (!device->FirstDevice()) return false;
        step = 'D';
        do {
            step = 'E';
            const bool accepted = device->VerifyDevice(false);
            step = 'F';
            if (accepted) {
                // The copy goes on walking from the same position.
                auto next = std::make_unique<device::CDDevice>(*device);
                g_devices.push_back(std::move(device));
                device = std::move(next);
            } else {
                RecordRefused(*device, "it does not answer as a CD drive");
            }
            step = 'G';
        } while (device->NextDevice());
        device.reset();
    } catch (...) {
        if (diag::DebugMode) diag::DebugPrint("Initial selection fault %c", step);
        if (step == 'E' && device) g_devices.push_back(std::move(device));
        scan::SetSelectedDevice(nullptr);
        return false;
    }

    const settings::Settings& options = settings::ProgramSettings;
    const std::string last = ReadProgramString(kLastDeviceValue, "");
    device::CDDevice* found = nullptr;
    if (options.AutoStart && !last.empty()) {
        for (const auto& entry : g_devices) {
            // Exactly: an id differing only in letter case is another drive.
            if (last == entry->GetDeviceId()) {
                found = entry.get();
                break;
            }
        }
    }
    // A drive still spinning up is taken; the scan waits for it.
    if (found && DriveAccepted(*found)) {
        scan::SetSelectedDevice(found);
        ShowDeviceStatusNow();
        UpdateDeviceControlsNow();
        UseDevice();
        return true;
    }
    scan::SetSelectedDevice(nullptr);
    return false;
}

void UseDevice() {
    device::CDDevice* device = scan::SelectedDevice();
    if (!device) return;
    const std::string id = device->GetDeviceId();
    if (diag::DebugMode)
        diag::DebugPrint("Selecting %s for use at %s, sector size set to %d", device->GetDeviceName(), id.c_str(),
                         device->GetSectorSize());
    device->SetPromptSuppress(settings::ProgramSettings.PromptSuppress != 0);
    WriteProgramString(kLastDeviceValue, id);
    // An image's drive letter can change between runs; its path cannot.
    WriteProgramString(kLastImageValue, ImagePathOfDrive(*device));
}

void ChooseDevice(device::CDDevice* device) {
    scan::SetSelectedDevice(device);
    UseDevice();
    ShowDeviceStatusNow();
    UpdateDeviceControlsNow();
}

void ReleaseDevices() {
    scan::SetSelectedDevice(nullptr);
    g_devices.clear();
    g_refused.clear();
}

DriveReadiness CheckDriveReadiness(device::CDDevice& device, std::string* reason) {
    if (device.CheckDevice(true)) return DriveReadiness::kReady;
    const unsigned char key = device.GetSenseKey();
    const unsigned char code = device.GetSenseCode();
    if (key == kNotReadyKey && code == kBecomingReadyCode && device.GetSenseAddCode() == kBecomingReadyQualifier)
        return DriveReadiness::kBecomingReady;
    if (reason) {
        if (code == kNoMediumCode) {
            *reason = "no disc in the drive";
        } else {
            char text[96];
            std::snprintf(text, sizeof text, "it does not answer as expected (sense %X/%02X/%02X)", key, code,
                          device.GetSenseAddCode());
            *reason = text;
        }
    }
    return DriveReadiness::kRefused;
}

const std::vector<RefusedDrive>& RefusedDrives() { return g_refused; }

std::string ImagePathOfDrive(device::CDDevice& device) {
    const unsigned char letter = device.GetDriveLetter();
    const std::string id = device.GetDeviceId();
    const char wanted = letter != kNoLetter ? static_cast<char>(letter) : (id.size() == 2 && id[1] == ':' ? id[0] : 0);
    if (!wanted) return {};
    const platform::DriveEntry* entry = platform::DriveTable::Process().Find(wanted);
    if (!entry || entry->kind != platform::DriveKind::kVirtual) return {};
    return entry->location;
}

device::CDDevice* AddImageDrive(const std::string& path, std::string& error) {
    char letter = 0;
    if (!platform::DriveTable::AddProcessImage(path, letter, error)) return nullptr;
    // Which table entries the walk meets, for transports that name no letter.
    std::vector<char> letters;
    for (const platform::DriveEntry& entry : platform::DriveTable::Process().Drives()) letters.push_back(entry.letter);
    auto letterOf = [&letters](device::CDDevice& device, std::size_t position) {
        const unsigned char own = device.GetDriveLetter();
        if (own != kNoLetter) return static_cast<char>(own);
        return position < letters.size() ? letters[position] : '\0';
    };
    auto walker = std::make_unique<device::CDDevice>();
    PrepareDevice(*walker);
    std::size_t position = 0;
    for (bool on = walker->FirstDevice(); on; on = walker->NextDevice(), ++position) {
        if (letterOf(*walker, position) != letter) continue;
        // Opened before: the same object.
        const std::string id = walker->GetDeviceId();
        for (const auto& known : g_devices)
            if (id == known->GetDeviceId()) return known.get();
        if (!walker->VerifyDevice(false)) {
            error = "the drive over it does not answer as a CD drive";
            RecordRefused(*walker, error);
            return nullptr;
        }
        g_devices.push_back(std::move(walker));
        return g_devices.back().get();
    }
    error = "its drive was not found among the drives";
    return nullptr;
}

bool AnalyzeDeviceDatabase() {
    device::DDBInfo database(AnalysisMessage);
    const std::string path = DeviceDatabasePath();
    database.SetFileName(path.c_str());
    return database.AnalyzeDatabase();
}

}  // namespace dravik::app
