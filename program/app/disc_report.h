// The disc information both front ends show: the drive (name, firmware,
// speed method, buffer), the medium (kind, sessions, finalized or
// appendable, next writable address) and one row per track (number,
// session, start, end, mode, control, flags in words, file system, volume
// name, files and bytes found, the VAT used and its fallbacks). Built from
// the selected drive and the track list the last scan left; the text form
// is what dravik-cli info prints and the window's "Save Report..." writes
// as text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::device {
class CDDevice;
}

namespace dravik::app {

struct DriveFacts {
    bool present = false;
    std::string name;         // vendor and product as the drive gives them
    std::string firmware;     // empty when the drive list does not say
    std::string speedMethod;  // "none", or the method's number
    int bufferKb = -1;        // -1: unknown
};

struct MediumFacts {
    std::string kind;  // "CD-ROM", "CD-R", "CD-RW", "DVD"; empty without a drive
    int sessions = 0;
    bool finalized = true;
    std::int64_t nextWritable = -1;  // -1: none (finalized, or not told)
};

struct TrackFacts {
    int number = 0;  // 170: the lead-out
    int session = 0;
    std::int32_t start = 0;
    std::int32_t end = 0;
    std::string mode;     // "audio", "mode 1", "mode 2", "data", "lead-out"
    int control = 0;
    std::string flags;    // the track's flag names, ", " between them
    std::string fileSystem;  // "ISO 9660, Joliet", "UDF", "HFS", ... or empty
    std::string volume;   // the track's root as the tree names it
    int files = 0;
    std::uint64_t bytes = 0;
    std::int32_t vatBlock = 0;  // 0: no VAT used
    std::int32_t vatFallbacks = 0;
};

struct DiscReport {
    DriveFacts drive;
    MediumFacts medium;
    std::string volume;  // the volume name of the scan
    std::vector<TrackFacts> tracks;
};

// Reads the track list under the catalogue lock; `drive` may be null.
DiscReport BuildDiscReport(device::CDDevice* drive);

// The file systems a track's flags name, ", " between them.
std::string FileSystemText(std::uint32_t trackFlags);
// The track's mode from its control and data-mode byte.
std::string TrackModeText(int number, std::uint8_t control, std::uint8_t dataMode);

// The report as text: a drive block, a medium block, then one line per track.
std::string DiscReportText(const DiscReport& report);

}  // namespace dravik::app
