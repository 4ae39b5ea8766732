// The duplicate pass over the catalogue after UDF volumes were read: items
// that describe the same data twice (a file found by the block scan that a
// directory also names, two unnamed copies of one File Entry, the same
// file listed by several sessions' trees) are kept once, and unnamed
// items and directories that lead nowhere are removed.
#pragma once

#include <cstdint>

namespace dravik::scan {
struct FoundItem;
struct TrackNode;
}  // namespace dravik::scan

namespace dravik::readers::udf {

// Status texts of the pass.
constexpr unsigned kDuplicatesStatus = 246;        // (none)
constexpr unsigned kDuplicatesCountStatus = 247;   // items counted
constexpr unsigned kDuplicatesRemovedStatus = 248; // items counted, removed so far

// Removes duplicates from `track`'s tree, or from every track's when
// `track` is null; nothing with the KeepUDFDups setting on. Of items with
// the same start and size the one reached through a directory stays; a
// later item goes only when it or the one kept is unnamed (two named files
// sharing an entry, such as hard links or empty files, both stay).
void RemoveDuplicates(scan::TrackNode* track);

// Unlinks unnamed directories without children below `dir` (depth first,
// again until none is left); returns how many went.
int RemoveEmptyUnnamedDirs(scan::FoundItem* dir);

// Items below `dir`: each subdirectory counts 1 plus its contents.
std::uint32_t CountItems(const scan::FoundItem* dir);

}  // namespace dravik::readers::udf
