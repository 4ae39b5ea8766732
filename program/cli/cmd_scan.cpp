// dravik-cli scan [options] TARGET: scans one drive as the program does and
// prints the track list and the catalogue. TARGET is a drive letter ("D:"),
// a device node ("/dev/sr0") or an image or description file, which is
// served by a virtual drive for the run. The scan runs on its own thread
// exactly as in the program; this thread plays the user-interface thread,
// shows a progress line on a terminal and turns Ctrl-C into the abort flag.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "cli_command.h"
#include "device/cddevice/cddevice.h"
#include "platform/drive_source.h"
#include "platform/drive_table.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/scan/driver/scan_device.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "scan_report.h"
#include "vdrive/virtual_drive.h"

namespace dravik::cli {

namespace {

constexpr char kUsage[] =
    "[--json] [--show-all] [--ignore-joliet] [--accept-errors] [--keep-udf-dups] [--intensive] [-C] TARGET";
constexpr unsigned char kMmcTrackInformation = 0x52;

struct ScanOptions {
    bool json = false;
    std::string target;
};

bool ParseOptions(const std::vector<std::string>& args, ScanOptions& options, std::string& error) {
    settings::Settings& s = settings::ProgramSettings;
    for (const std::string& arg : args) {
        if (arg == "--json") options.json = true;
        else if (arg == "--show-all") s.ShowAll = 1;
        else if (arg == "--ignore-joliet") s.IgnoreJoliet = 1;
        else if (arg == "--accept-errors") s.AcceptErrors = 1;
        else if (arg == "--keep-udf-dups") s.KeepUDFDups = 1;
        else if (arg == "--intensive") s.IntensiveScan = 1;
        else if (arg == "-C") s.IgnoreChecksums = 1;
        else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (!options.target.empty()) {
            error = "more than one target: " + options.target + ", " + arg;
            return false;
        } else {
            options.target = arg;
        }
    }
    if (options.target.empty()) error = "no target given";
    return !options.target.empty();
}

bool IsDriveLetter(const std::string& target) {
    return target.size() == 2 && target[1] == ':' &&
           ((target[0] >= 'A' && target[0] <= 'Z') || (target[0] >= 'a' && target[0] <= 'z'));
}

// --- the device library's debug callbacks -------------------------------

void DeviceDebugLine(char* format, ...) {
    char line[diag::kMaxLogLine + 1];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    diag::DebugPrint("%s", line);
}
void DeviceDebugDump(void* data, int length, const char* title) { diag::DebugDump(data, length, title); }

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
    if (!imageTarget.empty()) sources.imagePaths.push_back(imageTarget);
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

// The device check when the library has one; until then the drive is taken
// as an MMC drive, whose track information command is the standard one.
template <typename Device>
bool CheckSelectedDrive(Device& device) {
    if constexpr (requires(Device& d) { d.VerifyDevice(false); }) {
        return static_cast<bool>(device.VerifyDevice(false));
    } else {
        if (device.GetTrackInfoCmd() == 0) device.SetTrackInfoCmd(kMmcTrackInformation);
        return true;
    }
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
        if (!CheckSelectedDrive(*selected)) return nullptr;
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
    InterruptHandler interrupts;
    const bool terminal = ::isatty(STDERR_FILENO);
    const bool virtualDrive = dynamic_cast<vdrive::VirtualDrive*>(entry.drive.get()) != nullptr;
    messages::SetCancelHandler([&device] { device.SetAbortFlag(); });
    scan::SetSelectedDevice(&device);
    if (!scan::StartScan()) return;
    auto lastLine = std::chrono::steady_clock::now();
    bool cancelled = false;
    scan::WaitForScan([&] {
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
    scan::SetSelectedDevice(nullptr);
    messages::SetCancelHandler({});
}

int ScanWithLibrary(const ScanOptions& options, void* resources) {
    std::string imageTarget;
    if (!IsDriveLetter(options.target)) {
        struct stat info {};
        if (::stat(options.target.c_str(), &info) != 0) {
            std::fprintf(stderr, "dravik-cli scan: %s: no such drive, device or file\n", options.target.c_str());
            return kExitDevice;
        }
        if (!S_ISBLK(info.st_mode) && !S_ISCHR(info.st_mode)) {
            char absolute[PATH_MAX];
            imageTarget = ::realpath(options.target.c_str(), absolute) ? absolute : options.target;
        }
    }
    const platform::DriveTable table = BuildDriveTable(imageTarget);
    for (const std::string& problem : table.Problems()) std::fprintf(stderr, "dravik-cli scan: %s\n", problem.c_str());
    const platform::DriveEntry* wanted = FindTargetEntry(table, options.target, imageTarget);
    if (!wanted) {
        std::fprintf(stderr, "dravik-cli scan: %s cannot be used as a drive\n", options.target.c_str());
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
            std::fprintf(stderr, "dravik-cli scan: the drive %c: does not answer as a CD drive\n", wanted->letter);
        } else {
            device->SetMessageCallback(messages::ShowMessage);
            if (diag::DebugMode) {
                device->SetDebugCallback(DeviceDebugLine);
                device->SetDebugDump(DeviceDebugDump);
                device->SetDebugLevel(diag::LogWriteThrough ? 2 : 1);
            }
            device->SetPromptSuppress(settings::ProgramSettings.PromptSuppress != 0);
            RunScan(*device, *wanted);
            const scan::ScanOutcome outcome = scan::LastScanOutcome();
            if (outcome == scan::ScanOutcome::DriveNotReady || outcome == scan::ScanOutcome::MediaRejected ||
                outcome == scan::ScanOutcome::NoDevice) {
                status = kExitDevice;
            } else {
                const std::string report = options.json ? ScanReportJson() : ScanReportText();
                std::fwrite(report.data(), 1, report.size(), stdout);
                if (outcome == scan::ScanOutcome::Cancelled) std::fprintf(stderr, "dravik-cli scan: cancelled\n");
                status = outcome == scan::ScanOutcome::Failed ? kExitFailure : kExitOk;
            }
            scan::ClearTrackList(false);
        }
    } else {
        std::fprintf(stderr, "dravik-cli scan: no device interface could be started\n");
    }
    device::CDDevice::Terminate();
    platform::SetDriveLister({});
    return status;
}

int RunScanCommand(const std::vector<std::string>& args) {
    ScanOptions options;
    std::string error;
    settings::ResetSettings();
    // Questions are answered by the CLI's port; the busy bar is not shown.
    settings::ProgramSettings.PromptSuppress = 1;
    if (!ParseOptions(args, options, error)) {
        std::fprintf(stderr, "dravik-cli scan: %s\nusage: dravik-cli scan %s\n", error.c_str(), kUsage);
        return kExitUsage;
    }
    const messages::LanguageModule& language = messages::ProgramLanguage();
    void* resources = language.Loaded() ? ::dlopen(language.Path().c_str(), RTLD_NOW | RTLD_NOLOAD) : nullptr;
    if (!resources) {
        std::fprintf(stderr, "dravik-cli scan: the device library cannot start without its language module: %s\n",
                     language.LoadError().empty() ? "it is not loaded" : language.LoadError().c_str());
        return kExitFailure;
    }
    const int status = ScanWithLibrary(options, resources);
    ::dlclose(resources);
    return status;
}

const CliCommandRegistration registration({"scan", kUsage,
                                           "scan a drive (D:), a device node or a disc image and print its "
                                           "tracks and files as a tree (--json: as JSON)",
                                           RunScanCommand});

}  // namespace

}  // namespace dravik::cli
