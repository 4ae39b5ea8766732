#include "scan_target.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "cli_command.h"
#include "program/app/device_setup.h"
#include "program/app/scan_launch.h"
#include "device/cddevice/cddevice.h"
#include "platform/drive_source.h"
#include "platform/drives/drive_table.h"
#include "platform/scsi_opcodes.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/scan_device.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "vdrive/virtual_drive.h"

namespace dravik::cli {

namespace {

std::string g_rescueMap;

bool IsDriveLetter(const std::string& target) {
    return target.size() == 2 && target[1] == ':' &&
           ((target[0] >= 'A' && target[0] <= 'Z') || (target[0] >= 'a' && target[0] <= 'z'));
}

// --- Ctrl-C -------------------------------------------------------------

volatile sig_atomic_t g_interrupts = 0;

void OnInterrupt(int) {
    // The second Ctrl-C ends the program at once.
    g_interrupts = g_interrupts + 1;
    if (g_interrupts >= 2) _exit(130);
}

class InterruptHandler {
public:
    InterruptHandler() {
        g_interrupts = 0;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptHandler() { sigaction(SIGINT, &previous_, nullptr); }

private:
    struct sigaction previous_ {};
};

// --- drive selection ----------------------------------------------------

// The drive table of the run: the machine's drives, the images the
// environment and the registry name, and the target when it is a file.
platform::DriveTable BuildDriveTable(const std::string& imageTarget) {
    platform::DriveTableSources sources;
    if (const char* images = std::getenv(platform::kImagesVariable)) sources.imagePaths = platform::SplitImageList(images);
    for (std::string& path : platform::VirtualDrivePathsFromRegistry()) sources.imagePaths.push_back(std::move(path));
    if (!imageTarget.empty()) {
        sources.imagePaths.push_back(imageTarget);
        if (!g_rescueMap.empty()) sources.rescueMaps[imageTarget] = g_rescueMap;
    }
    return platform::DriveTable::Build(sources);
}

const platform::DriveEntry* FindTargetEntry(const platform::DriveTable& table, const std::string& target,
                                            const std::string& imageTarget) {
    if (IsDriveLetter(target)) return table.Find(target[0]);
    const std::string& location = imageTarget.empty() ? target : imageTarget;
    for (const platform::DriveEntry& entry : table.Drives())
        if (entry.location == location) return &entry;
    return nullptr;
}

// Walks the drives as the program does and keeps the one at `wanted`.
std::unique_ptr<device::CDDevice> SelectDrive(const platform::DriveTable& table, const platform::DriveEntry& wanted) {
    device::CDDevice walker;
    std::size_t position = 0;
    for (bool on = walker.FirstDevice(); on; on = walker.NextDevice(), ++position) {
        const unsigned char letter = walker.GetDriveLetter();
        const platform::DriveEntry* entry =
            letter != 255 ? table.Find(static_cast<char>(letter))
                          : (position < table.Drives().size() ? &table.Drives()[position] : nullptr);
        if (entry != &wanted) continue;
        auto selected = std::make_unique<device::CDDevice>(walker);
        app::PrepareDevice(*selected);
        if (!selected->VerifyDevice(false)) return nullptr;
        return selected;
    }
    return nullptr;
}

// --- the run ------------------------------------------------------------

std::uint64_t BlocksRead(const platform::DriveEntry& entry) {
    if (auto* drive = dynamic_cast<vdrive::VirtualDrive*>(entry.drive.get())) return drive->Counters().blocksServed;
    return 0;
}

void ShowProgress(const platform::DriveEntry& entry, bool virtualDrive) {
    const int track = scan::ScanCurrentTrack();
    if (virtualDrive)
        std::fprintf(stderr, "\rScanning: %llu blocks read, track %d   ",
                     static_cast<unsigned long long>(BlocksRead(entry)), track);
    else
        std::fprintf(stderr, "\rScanning: %d steps, track %d   ", messages::ProgressCounter() + 1, track);
    std::fflush(stderr);
}

// Runs the scan on its thread and waits, serving Ctrl-C and the progress line.
void RunScan(device::CDDevice& device, const platform::DriveEntry& entry) {
    const bool terminal = ::isatty(STDERR_FILENO);
    const bool virtualDrive = dynamic_cast<vdrive::VirtualDrive*>(entry.drive.get()) != nullptr;
    messages::SetCancelHandler([&device] { device.SetAbortFlag(); });
    scan::SetSelectedDevice(&device);
    if (!app::StartScan()) return;
    auto lastLine = std::chrono::steady_clock::now();
    bool cancelled = false;
    app::WaitForScan([&] {
        if (g_interrupts > 0 && !cancelled) {
            cancelled = true;
            device.SetAbortFlag();
            scan::CloseRequested = 1;
            std::fprintf(stderr, "%sCancelling the scan (Ctrl-C again ends the program)\n", terminal ? "\n" : "");
        }
        const auto now = std::chrono::steady_clock::now();
        if (terminal && now - lastLine > std::chrono::milliseconds(200)) {
            lastLine = now;
            ShowProgress(entry, virtualDrive);
        }
    });
    if (terminal) std::fprintf(stderr, "\r%60s\r", "");
    // Benchmarks ask what the scan cost the drive.
    if (virtualDrive && std::getenv("DRAVIK_SCAN_COUNTERS")) {
        const vdrive::DriveCounters& counters = dynamic_cast<vdrive::VirtualDrive&>(*entry.drive).Counters();
        std::fprintf(stderr, "Drive counters: %llu commands, %llu READ(10), %llu READ CD, %llu blocks\n",
                     static_cast<unsigned long long>(counters.commands),
                     static_cast<unsigned long long>(counters.byOpcode[scsi::kRead10]),
                     static_cast<unsigned long long>(counters.byOpcode[scsi::kReadCd]),
                     static_cast<unsigned long long>(counters.blocksServed));
        if (counters.simulatedMicroseconds != 0)
            std::fprintf(stderr, "Drive time: %.3f s simulated\n", static_cast<double>(counters.simulatedMicroseconds) / 1e6);
    }
    scan::SetSelectedDevice(nullptr);
    messages::SetCancelHandler({});
}

int ScanWithLibrary(const char* command, const std::string& target, void* resources, const AfterScan& afterScan) {
    std::string imageTarget;
    if (!IsDriveLetter(target)) {
        struct stat info {};
        if (::stat(target.c_str(), &info) != 0) {
            std::fprintf(stderr, "dravik-cli %s: %s: no such drive, device or file\n", command, target.c_str());
            return kExitDevice;
        }
        if (!S_ISBLK(info.st_mode) && !S_ISCHR(info.st_mode)) {
            char absolute[PATH_MAX];
            imageTarget = ::realpath(target.c_str(), absolute) ? absolute : target;
        }
    }
    if (!g_rescueMap.empty() && imageTarget.empty()) {
        std::fprintf(stderr, "dravik-cli %s: --map goes with an image file, not with the drive %s\n", command,
                     target.c_str());
        return kExitUsage;
    }
    const platform::DriveTable table = BuildDriveTable(imageTarget);
    for (const std::string& problem : table.Problems()) std::fprintf(stderr, "dravik-cli %s: %s\n", command, problem.c_str());
    const platform::DriveEntry* wanted = FindTargetEntry(table, target, imageTarget);
    if (!wanted) {
        std::fprintf(stderr, "dravik-cli %s: %s cannot be used as a drive\n", command, target.c_str());
        return kExitDevice;
    }
    platform::SetDriveLister([&table] {
        platform::DriveList list;
        for (const platform::DriveEntry& e : table.Drives()) list.push_back({e.letter, e.drive});
        return list;
    });

    int status = kExitDevice;
    if (device::CDDevice::Initialize(resources, messages::ShowMessage)) {
        std::unique_ptr<device::CDDevice> device = SelectDrive(table, *wanted);
        if (!device) {
            std::fprintf(stderr, "dravik-cli %s: the drive %c: does not answer as a CD drive\n", command, wanted->letter);
        } else {
            device->SetPromptSuppress(settings::ProgramSettings.PromptSuppress != 0);
            InterruptHandler interrupts;
            RunScan(*device, *wanted);
            const scan::ScanOutcome outcome = scan::LastScanOutcome();
            if (outcome == scan::ScanOutcome::DriveNotReady || outcome == scan::ScanOutcome::MediaRejected ||
                outcome == scan::ScanOutcome::NoDevice) {
                status = kExitDevice;
            } else {
                scan::SetSelectedDevice(device.get());
                status = afterScan(*device, outcome);
                scan::SetSelectedDevice(nullptr);
            }
            scan::ClearTrackList(false);
        }
    } else {
        std::fprintf(stderr, "dravik-cli %s: no device interface could be started\n", command);
    }
    device::CDDevice::Terminate();
    platform::SetDriveLister({});
    return status;
}

}  // namespace

void SetTargetRescueMap(const std::string& mapFile) { g_rescueMap = mapFile; }

bool InterruptRequested() { return g_interrupts > 0; }

int ScanTargetWith(const char* command, const std::string& target, const AfterScan& afterScan) {
    const messages::LanguageModule& language = messages::ProgramLanguage();
    void* resources = language.Loaded() ? ::dlopen(language.Path().c_str(), RTLD_NOW | RTLD_NOLOAD) : nullptr;
    if (!resources) {
        std::fprintf(stderr, "dravik-cli %s: the device library cannot start without its language module: %s\n",
                     command, language.LoadError().empty() ? "it is not loaded" : language.LoadError().c_str());
        return kExitFailure;
    }
    const int status = ScanWithLibrary(command, target, resources, afterScan);
    ::dlclose(resources);
    return status;
}

}  // namespace dravik::cli
