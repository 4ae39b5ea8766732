// The scan driver: ScanThread turns the disc in the selected drive into the
// track list and a filled catalogue, one scan at a time, on the program's
// one worker thread. It reaches the user only through the program's helpers
// (messages, progress, the shell port), so any front end can run it.
#pragma once

namespace dravik::scan {

// How the last scan ended, for front ends without a results window.
enum class ScanOutcome {
    None,           // no scan yet
    Running,
    NoDevice,       // no drive selected
    DriveNotReady,  // message 107
    MediaRejected,  // message 194: a medium the scan does not read
    NoLayout,       // neither the TOC nor the disc information gave a layout
    Cancelled,      // the abort flag stopped the track dispatch
    Completed,
    Failed,         // an exception ended the scan
};

// The scan itself, on the calling thread: from waiting for the drive to
// showing the results and enabling the menus again.
void ScanThread();

ScanOutcome LastScanOutcome();
// The number of the track the dispatch is at; 0 outside the dispatch.
int ScanCurrentTrack();

// Language-module texts of the scan driver.
constexpr unsigned kDriveNotReadyMessage = 107;   // device name
constexpr unsigned kScanSummaryStatus = 124;      // tracks, sessions
constexpr unsigned kScanSummaryOneTrackStatus = 1241;    // "1 track in 1 session."
constexpr unsigned kScanSummaryOneSessionStatus = 1242;  // tracks, in one session
constexpr unsigned kRejectedMediaMessage = 194;   // media name
constexpr unsigned kPregapAddedMessage = 203;     // last block of the area
constexpr unsigned kMediaNameBase = 401;          // + profile: the medium's name
constexpr unsigned kUnknownMediaName = 499;       // profile number
// Toolbar buttons enabled at the end of every scan.
constexpr int kScanEndButtons[] = {40020, 40049, 40019};

}  // namespace dravik::scan
