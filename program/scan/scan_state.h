// Program-wide state of the scan that the shell, the scan thread and the
// readers share.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace dravik::scan {

// The volume's name: emptied when a scan starts, filled from CD-TEXT or
// from the first track's root item at the end of the scan. Written on the
// scan thread while ScanRunning is set, read afterwards.
constexpr std::size_t kMaxVolumeName = 200;
extern std::string VolumeName;
// Stores `name` cut to kMaxVolumeName bytes on a UTF-8 character boundary.
void SetVolumeName(std::string_view name);

// The product title: caption and message-box title. Set at start-up.
extern std::string ProgramTitle;

// Set by StartScan, cleared when the scan ends.
extern std::atomic<bool> ScanRunning;
// Stores ScanRunning = !enabled and enables or grays the main window's
// first three menus through the shell port (on its user-interface thread).
void EnableMainMenus(bool enabled);
// Set by the user-interface thread when the window is closed during a
// scan; the readers poll it beside the device's abort flag.
extern std::atomic<int> CloseRequested;

// The volume name the end of a scan takes from a root item's name: without
// the "\ " that volume labels begin with, and ending one character before
// the last "(" (which drops " (Session n)").
std::string VolumeNameFromRootName(std::string_view rootName);

// The main window's caption after a scan: "<volume> - <title>", or the
// title alone when the list is empty.
std::string ScanCaption(bool listEmpty);

}  // namespace dravik::scan
