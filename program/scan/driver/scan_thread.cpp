#include "program/scan/driver/scan_thread.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/diag/version_banner.h"
#include "program/messages/event_sound.h"
#include "program/messages/language_module.h"
#include "program/messages/message_catalog.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/messages/show_status.h"
#include "program/port/shell_port.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/driver/disc_layout.h"
#include "program/scan/driver/program_file_systems.h"
#include "program/scan/scan_device.h"
#include "program/scan/driver/track_dispatch.h"
#include "program/scan/file_systems.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"

namespace dravik::scan {

namespace {

// Waiting for a drive that is becoming ready: tries, 500 ms apart (a disc
// that spins up takes a few seconds; one that never does ends the wait).
constexpr int kNotReadyTries = 120;
constexpr unsigned char kNotReadySense = 0x04;
constexpr std::size_t kMaxMediaName = 200;
constexpr std::size_t kMaxUnknownMediaName = 100;
// Profiles 0 (none reported), CD-ROM, CD-R and CD-RW are scanned.
bool IsScannedProfile(int profile) { return profile == 0 || profile == 8 || profile == 9 || profile == 10; }

std::atomic<ScanOutcome> g_outcome{ScanOutcome::None};
std::atomic<int> g_currentTrack{0};

// Runs `call` with the front end on its user-interface thread.
void WithShell(const std::function<void(port::ShellPort&)>& call) {
    port::ShellPort* shell = port::InstalledShellPort();
    if (!shell) return;
    shell->CallOnUserInterfaceThread([&] {
        call(*shell);
        return 0;
    });
}

std::string FormatNumberText(std::string format, std::size_t limit, const char* arguments, int first, int second) {
    if (format.size() > limit) format.resize(limit);
    if (!messages::FormatFitsArguments(format, arguments)) return format;
    char text[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(text, sizeof text, format.c_str(), first, second);
#pragma GCC diagnostic pop
    return text;
}

std::string MediaName(int profile) {
    // Names exist up to 498; a higher number would reach texts of other kinds.
    if (profile >= 0 && kMediaNameBase + static_cast<unsigned>(profile) < kUnknownMediaName) {
        std::string name = messages::MessageLanguage().Text(kMediaNameBase + static_cast<unsigned>(profile));
        if (!name.empty()) return name.size() > kMaxMediaName ? name.substr(0, kMaxMediaName) : name;
    }
    std::string format = messages::MessageLanguage().Text(kUnknownMediaName);
    if (format.empty()) format = "Unknown medium (profile %d)";
    return FormatNumberText(format, kMaxUnknownMediaName, "d", profile, 0);
}

bool WaitForDrive(device::CDDevice* device) {
    for (int tries = 0; !device->CheckDevice(true) && device->GetSenseCode() == kNotReadySense; ++tries) {
        if (tries >= kNotReadyTries || device->IsAbortSet() || CloseRequested) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return device->CheckDevice(true);
}

// Builds the track list: from the TOC and the track information, or from
// the disc information when there is no TOC (a blank or unclosed disc).
bool BuildLayout(std::uint8_t* buffer) {
    if (ReadTocLayout(buffer)) {
        if (!ReadMmcTrackInfo(buffer)) ReadNonMmcTrackInfo(buffer);
        return true;
    }
    return ReadDiscInfoLayout(buffer) != 0;
}

// When the layout marked no track packet-written and the first track is
// not incremental, the incremental data tracks are taken as packet-written
// (so their readers try UDF first).
void MarkPacketTracks() {
    CatalogueGuard guard;
    if (!TrackListHead || (TrackListHead->control & kControlIncremental)) return;
    for (const TrackNode* node = TrackListHead; node; node = node->next)
        if (node->flags & TrackPacket) return;
    for (TrackNode* node = TrackListHead; node; node = node->next)
        if (node->control & kControlIncremental) node->flags |= TrackPacket;
}

// With ShowAll on, a disc whose first track starts after block 0 gets a
// node for the area before it, so that area can be searched too; false
// when memory ran out.
bool AddPregapNode() {
    TrackNode* head = TrackListHead;
    if (!head || head->start <= 0 || !settings::ProgramSettings.ShowAll) return true;
    messages::ShowMessage(messages::MessageIdWithFlags(kPregapAddedMessage), head->start - 1);
    TrackNode* node = NewTrackNode();
    if (!node) return false;
    node->number = static_cast<std::uint8_t>(head->number - 1);
    node->end = head->start;
    node->control = 0x14;
    node->session = 1;
    node->flags = TrackPregap;
    InsertTrackNodeBefore(head, node);
    return true;
}

void RaiseLeadOutStart() {
    CatalogueGuard guard;
    TrackNode* tail = TrackListTail;
    if (tail && tail->number == kLeadOutNumber && tail->prev && tail->start < tail->prev->end)
        tail->start = tail->prev->end;
}

// Reads the CD-Text once when the disc has an audio track (a blank disc
// has none), and leaves the drive in its ordinary read mode for the
// track readers.
void ReadCdTextOnce(device::CDDevice* device) {
    const TrackNode* head = TrackListHead;
    const bool blankDisc = head && !head->next && head->control == 0 && (head->flags & TrackBlank);
    if (!blankDisc) {
        for (const TrackNode* node = head; node; node = node->next) {
            if (node->control & kControlData) continue;
            ReadCdText();
            break;
        }
    }
    if (device->InCDDAMode()) device->SetCDDAMode(false);
    if (device->InRawMode()) device->SetRawSectorMode(false);
}

// Several UDF tracks of one disc list the same files again: keep one
// entry per file and mark the shared extents.
void RunDuplicatePass() {
    int udfTracks = 0;
    for (const TrackNode* node = TrackListHead; node; node = node->next)
        if ((node->flags & TrackUdf) && (node->flags & TrackUdfFound)) ++udfTracks;
    const FileSystemReader* udf = FindFileSystem(FileSystemKind::kUdf);
    if (udfTracks > 1 && udf && udf->removeDuplicates) udf->removeDuplicates(nullptr);
}

// Selects the first root in the tree, takes the volume name from it when
// none was found, and shows the window caption and the summary line.
void FinishScan() {
    messages::ProgressTick();
    if (!TrackListHead) {
        WithShell([](port::ShellPort& shell) { shell.SetCaption(ScanCaption(true)); });
        return;
    }
    TrackListHead->unnamedCounter = 1;
    if (FoundItem* root = TrackListHead->rootItem) {
        port::TreeHandle handle = 0;
        {
            CatalogueGuard guard;
            handle = root->treeView.handle;
        }
        if (handle) WithShell([handle](port::ShellPort& shell) { shell.SelectTreeItem(handle); });
        if (VolumeName.empty()) SetVolumeName(VolumeNameFromRootName(root->Name()));
    }
    WithShell([](port::ShellPort& shell) { shell.SetCaption(ScanCaption(false)); });
    // The summary in the right number: "1 track in 1 session.", "3 tracks
    // in 1 session.", "5 tracks in 2 sessions."
    const int tracks = TrackCountWithoutLeadOut();
    const int sessions = TrackListTail->session;
    const unsigned summary = sessions != 1 ? kScanSummaryStatus
                             : tracks == 1 ? kScanSummaryOneTrackStatus
                                           : kScanSummaryOneSessionStatus;
    messages::ShowStatus(static_cast<int>(summary), tracks, sessions);
}

// The scan from start to end: wait for the drive, reject media the scan
// cannot read, build the track list, then let each track's reader fill the
// catalogue. g_outcome says how it ended.
void RunScanSteps(device::CDDevice* device) {
    device->SetFakeMode3(false);
    InstallProgramFileSystems();
    for (const FileSystemReader& reader : FileSystems())
        if (reader.resetState) reader.resetState();
    VolumeName.clear();
    device->ClearAbortFlag();

    if (!WaitForDrive(device)) {
        messages::ShowMessage(messages::MessageIdWithFlags(kDriveNotReadyMessage), device->GetDeviceName());
        g_outcome = ScanOutcome::DriveNotReady;
        return;
    }
    const int profile = device->GetCurrentConfiguration();
    if (!IsScannedProfile(profile)) {
        const std::string name = MediaName(profile);
        messages::ShowMessage(messages::MessageIdWithFlags(kRejectedMediaMessage), name.c_str());
        device->SetAbortFlag();
        g_outcome = ScanOutcome::MediaRejected;
        return;
    }

    messages::ProgressOpen(settings::ProgramSettings.PromptSuppress != 0);
    ClearTrackList(false);
    if (diag::DebugMode) diag::WriteVersionBanner();
    auto* buffer = static_cast<std::uint8_t*>(diag::TrackedAlloc(kLayoutBufferBytes, __FILE__, __LINE__));
    if (!buffer) {
        g_outcome = ScanOutcome::Failed;
        return;
    }
    messages::ProgressTick();
    const bool layout = BuildLayout(buffer);
    diag::TrackedFree(buffer, __FILE__, __LINE__);
    if (!layout) {
        g_outcome = ScanOutcome::NoLayout;
        return;
    }
    if (CorrectImpossibleEnds() && diag::DebugMode) diag::DebugPrint("The drive's layout needed corrections");

    MarkPacketTracks();
    messages::ProgressTick();
    bool dispatched = false;
    if (AddPregapNode() && TrackListHead) {
        RaiseLeadOutStart();
        DumpTrackList();
        messages::ProgressTick();
        ReadCdTextOnce(device);
        if (PrepareBlankDisc()) {
            DispatchTracks(device, g_currentTrack);
            dispatched = true;
        }
    }
    if (dispatched) RunDuplicatePass();
    FinishScan();
    g_outcome = device->IsAbortSet() ? ScanOutcome::Cancelled : ScanOutcome::Completed;
}

// After every scan, whatever its outcome: log the final track list, play
// the sound, show the results unless cancelled and give the menus back.
void EndScan(device::CDDevice* device) {
    if (diag::DebugMode) {
        diag::DebugPrint("Final TOC information...");
        DumpTrackList();
    }
    messages::PlayEventSound("ScanComplete");
    if (!device || !device->IsAbortSet()) WithShell([](port::ShellPort& shell) { shell.ShowResults(); });
    EnableMainMenus(true);
    WithShell([](port::ShellPort& shell) {
        for (int button : kScanEndButtons) shell.EnableCommand(button, true);
    });
}

}  // namespace

void ScanThread() {
    g_outcome = ScanOutcome::Running;
    device::CDDevice* device = SelectedDevice();
    try {
        if (device) {
            RunScanSteps(device);
        } else {
            if (diag::DebugMode) diag::DebugPrint("No drive is selected; nothing to scan");
            g_outcome = ScanOutcome::NoDevice;
        }
        messages::ProgressClose();
    } catch (const std::exception& error) {
        if (diag::DebugMode) diag::DebugPrint("The scan ended with an exception: %s", error.what());
        g_outcome = ScanOutcome::Failed;
    } catch (...) {
        if (diag::DebugMode) diag::DebugPrint("The scan ended with an exception");
        g_outcome = ScanOutcome::Failed;
    }
    if (g_outcome == ScanOutcome::Failed) {
        // What the list holds may be half built: it is released, not shown.
        try {
            ClearTrackList(false);
        } catch (...) {
            CatalogueGuard guard;
            TrackListHead = TrackListTail = nullptr;
        }
        messages::ProgressClose();
    }
    g_currentTrack = 0;
    EndScan(device);
}

ScanOutcome LastScanOutcome() { return g_outcome; }
int ScanCurrentTrack() { return g_currentTrack; }

}  // namespace dravik::scan
