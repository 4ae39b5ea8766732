// The stage the file-system reader harnesses play on: a virtual drive
// serving one data track whose blocks come from the fuzz input, reached
// through the device library as the scan reaches a real drive, with the
// scan's table of file systems installed and a front end that shows
// nothing.
//
// Input layout (small inputs, large volumes): two bytes little-endian, the
// track's length in blocks (taken into 16..kMaxBlocks); then records of two
// bytes little-endian, a block number (modulo the track's length), and the
// block's 2048 bytes (a short last record leaves the rest zero). Blocks no
// record names read as zeros. fuzz/seeds/make_seeds.sh cuts seeds in this
// layout from images that real tools made.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravik::scan {
struct TrackNode;
}

namespace dravik::fuzz {

inline constexpr std::int32_t kMaxBlocks = 1024;

// Sets the stage up once per process (the drive, the device, the scan's
// state), then lays the input's blocks out on the disc and returns a
// fresh track list's one data track over them (with its lead-out).
scan::TrackNode* StageImage(const std::uint8_t* data, std::size_t size);
// Frees what the reader put into the catalogue.
void ClearStage();

}  // namespace dravik::fuzz
