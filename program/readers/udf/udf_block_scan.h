// The block scan: when a UDF volume's tree is damaged (or the user asks
// for it), every block of the volume that no found item occupies is read
// and recognised by its descriptor tag. File Entries that no directory
// reaches any more become "Unnamed_%04d" items, directory blocks give their
// files with their names; all of them are gathered under one extra
// directory appended to the track's root. The duplicate and overlap passes
// then run for the track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "program/readers/udf/udf_reader.h"

namespace dravik::readers::udf {

// Language-module texts of the scan.
constexpr unsigned kLostFilesName = 180;
constexpr unsigned kBlockScanStatus = 184;  // block, end, files found, errors

// Blocks read with one command while the disc reads well.
constexpr int kScanRunBlocks = 32;
// Answers "logical block address out of range" (0x21) in a row after which
// the next one ends the scan: the end of what was written.
constexpr int kEndOfMediaAnswers = 32;

// Scans [from, the end of the volume's recorded area) block by block and
// appends what it found under a lost-files item as the last child of
// `root` (the track's root item). False only when the lost-files item
// could not be allocated.
bool ScanUdfBlocks(UdfState& state, scan::FoundItem* root, std::int64_t from);

// Where the scan of `track` from `from` ends: the track's end (or that of
// a continued next track), or the next writable address that says where
// writing stopped.
std::int64_t BlockScanEnd(const scan::TrackNode* track, std::int64_t from);

// The runs of blocks in [from, end) the bitmap does not mark used, as the
// verbose log lists them: "a-b " or "a ", no line ending in a blank, in
// lines of a little over 80 characters.
std::vector<std::string> UnusedRunLines(const UdfState& state, std::int64_t from, std::int64_t end);

}  // namespace dravik::readers::udf
