#include "program/app/disc_report.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "device/cddevice/cddevice.h"
#include "device/ddb/ddb_info.h"
#include "platform/drive_source.h"
#include "program/app/copy_job.h"
#include "program/app/scan_report.h"
#include "program/extract/item_paths.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"

namespace dravik::app {

namespace {

// The speed-method code of a drive whose database entry names none.
constexpr unsigned kNoSpeedMethod = 255;
// Media-type bits the device check sets.
constexpr unsigned kMediaRewritable = 0x20;
constexpr unsigned kMediaRecordable = 0x10;
// The data mode's low nibble in the track information.
constexpr std::uint8_t kDataModeMask = 0x0F;

std::string JoinedNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

DriveFacts DriveFactsOf(device::CDDevice& drive) {
    DriveFacts facts;
    facts.present = true;
    facts.name = drive.GetDeviceName();
    const unsigned char letter = drive.GetDriveLetter();
    for (const platform::LetteredDrive& listed : platform::ListDrives())
        if (listed.drive && static_cast<unsigned char>(listed.letter) == letter)
            facts.firmware = listed.drive->Identity().revision;
    const unsigned method = drive.DeviceRecord() ? drive.DeviceRecord()->GetSpeedCode() : kNoSpeedMethod;
    facts.speedMethod = method == kNoSpeedMethod ? std::string("none") : std::to_string(method);
    const int buffer = drive.GetBufferSize();
    facts.bufferKb = buffer > 0 ? buffer : -1;
    return facts;
}

// The scan marks the first track of an erasable disc; the device check's
// media type tells the rest when it read the disc's ATIP.
std::string MediumKind(device::CDDevice& drive, bool erasable) {
    if (drive.IsDVDDisc()) return "DVD";
    const unsigned type = drive.GetMediaType();
    if (erasable || (type & kMediaRewritable)) return "CD-RW";
    return (type & kMediaRecordable) ? "CD-R" : "CD-ROM";
}

}  // namespace

std::string FileSystemText(std::uint32_t flags) {
    std::vector<std::string> names;
    if (flags & scan::TrackIso) names.push_back("ISO 9660");
    if (flags & scan::TrackJoliet) names.push_back("Joliet");
    if (flags & scan::TrackHighSierra) names.push_back("High Sierra");
    if (flags & scan::TrackRockRidge) names.push_back("Rock Ridge");
    if (flags & scan::TrackUdf) names.push_back("UDF");
    if (flags & scan::TrackHfs) names.push_back("HFS");
    return JoinedNames(names);
}

std::string TrackModeText(int number, std::uint8_t control, std::uint8_t dataMode) {
    if (number == scan::kLeadOutNumber) return "lead-out";
    if (!(control & scan::kControlData)) return "audio";
    switch (dataMode & kDataModeMask) {
        case 1: return "mode 1";
        case 2: return "mode 2";
        default: return "data";
    }
}

DiscReport BuildDiscReport(device::CDDevice* drive) {
    DiscReport report;
    scan::CatalogueGuard guard;
    if (drive) {
        report.drive = DriveFactsOf(*drive);
        report.medium.kind = MediumKind(*drive, scan::TrackListHead && (scan::TrackListHead->flags & scan::TrackErasable));
    }
    report.volume = scan::VolumeName;
    for (const scan::TrackNode* node = scan::TrackListHead; node; node = node->next) {
        TrackFacts track;
        track.number = node->number;
        track.session = node->session;
        track.start = node->start;
        track.end = node->end;
        track.mode = TrackModeText(node->number, node->control, node->dataMode);
        track.control = node->control;
        track.flags = JoinedNames(TrackFlagNames(node->flags));
        track.fileSystem = FileSystemText(node->flags);
        if (node->rootItem && (node->rootItem->flags & scan::ItemDirectory)) {
            track.volume = extract::TrackFolderText(node->rootItem);
            const CopyTotals found = CountCopy({node->rootItem});
            track.files = found.files;
            track.bytes = found.bytes;
        }
        track.vatBlock = node->vatBlock;
        track.vatFallbacks = node->vatFallbacks;
        if (node->number != scan::kLeadOutNumber) {
            report.medium.sessions = std::max(report.medium.sessions, int{node->session});
            if (node->flags & scan::TrackAppendable) {
                report.medium.finalized = false;
                if (node->nextWritable != 0) report.medium.nextWritable = node->nextWritable;
            }
        }
        report.tracks.push_back(std::move(track));
    }
    return report;
}

std::string DiscReportText(const DiscReport& report) {
    std::string text;
    char line[512];
    if (report.drive.present) {
        std::snprintf(line, sizeof line, "Drive: %s\n  firmware %s, speed method %s, buffer %s\n",
                      report.drive.name.c_str(), report.drive.firmware.empty() ? "unknown" : report.drive.firmware.c_str(),
                      report.drive.speedMethod.c_str(),
                      report.drive.bufferKb > 0 ? (std::to_string(report.drive.bufferKb) + " KB").c_str() : "unknown");
        text += line;
    } else {
        text += "Drive: none selected\n";
    }
    std::snprintf(line, sizeof line, "Medium: %s, %d session%s, %s", report.medium.kind.empty() ? "unknown" : report.medium.kind.c_str(),
                  report.medium.sessions, report.medium.sessions == 1 ? "" : "s",
                  report.medium.finalized ? "finalized" : "appendable");
    text += line;
    if (report.medium.nextWritable >= 0) text += ", next writable address " + std::to_string(report.medium.nextWritable);
    text += "\nVolume: " + report.volume + "\n";
    for (const TrackFacts& t : report.tracks) {
        if (t.number == scan::kLeadOutNumber)
            std::snprintf(line, sizeof line, "Lead-out  session %d  start %d", t.session, t.start);
        else
            std::snprintf(line, sizeof line, "Track %d  session %d  start %d  end %d  %s  control 0x%02x", t.number,
                          t.session, t.start, t.end, t.mode.c_str(), t.control);
        text += line;
        if (!t.flags.empty()) text += "  [" + t.flags + "]";
        text += '\n';
        if (!t.fileSystem.empty() || !t.volume.empty()) {
            text += "  " + (t.fileSystem.empty() ? std::string("no file system") : t.fileSystem);
            if (!t.volume.empty()) text += "  \"" + t.volume + "\"";
            text += "  " + std::to_string(t.files) + " files, " + std::to_string(t.bytes) + " bytes";
            text += '\n';
        }
        if (t.vatBlock != 0 || t.vatFallbacks != 0)
            text += "  VAT at block " + std::to_string(t.vatBlock) + ", " + std::to_string(t.vatFallbacks) +
                    " fallback" + (t.vatFallbacks == 1 ? "" : "s") + "\n";
    }
    return text;
}

}  // namespace dravik::app
