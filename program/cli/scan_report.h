// What dravik-cli scan prints after the scan: the track list and the
// catalogue, as an indented text tree or as JSON. Both leave out the
// directories' self and parent entries.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace dravik::scan {
struct ItemDate;
}

namespace dravik::cli {

// Deeper directories are left out of both reports (the readers never
// build them).
inline constexpr int kMaxReportDepth = 512;

// Flag names without their Track/Item prefix, in lower case, in bit order.
std::vector<std::string> TrackFlagNames(std::uint32_t flags);
std::vector<std::string> ItemFlagNames(std::uint16_t flags);

// "YYYY-MM-DDTHH:MM:SS", with "+HH:MM" or "-HH:MM" when the date records
// an offset from Greenwich; empty for an item without a date.
std::string IsoDateText(const scan::ItemDate& date);

// The report of the current track list and VolumeName.
std::string ScanReportText();
std::string ScanReportJson();

}  // namespace dravik::cli
