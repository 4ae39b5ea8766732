// Files compressed with zisofs (as mkisofs -z and xorriso -zisofs write
// them on Rock Ridge volumes): the recorded data begin with a 16-byte
// header (magic, expanded size, header size, block size), then a table of
// little-endian offsets, one per block plus an end, then each block as a
// zlib stream. An offset equal to the next means a block of zeros.
//
// The stream hands out the expanded bytes 2048 at a time and never trusts
// the recorded numbers: offsets must rise and stay inside the recorded
// data, a block may expand to no more than its size, and a block that
// cannot be read or expanded comes out as zeros, reported unreadable at
// the disc block where its compressed data lie (the file is damaged, the
// rest of it still comes out).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "program/scan/file_systems.h"
#include "program/scan/posix_file_info.h"

namespace dravik::readers::iso {

constexpr std::uint8_t kZisofsMagic[8] = {0x37, 0xE4, 0x53, 0x96, 0xC9, 0xDB, 0xD6, 0x07};
constexpr std::uint8_t kZisofsMinBlockLog2 = 15;
constexpr std::uint8_t kZisofsMaxBlockLog2 = 17;

// Opens the expanded data of a zisofs file whose recorded data start at
// block `start` (read through `read`). `size` is the expanded size from the
// directory's entry. Null with the reason in `error` when the system has
// no zlib.
std::unique_ptr<scan::FileDataStream> OpenZisofsStream(const scan::ReadOneBlock& read, std::int64_t start,
                                                       std::uint64_t size, const scan::ZisofsLayout& layout,
                                                       std::string& error);

// The whole expanded file from its recorded bytes in memory; false when
// any part of it was damaged (those bytes are zeros in `out`). For tests
// and for checking recorded data without a drive.
bool ExpandZisofs(const std::vector<std::uint8_t>& recorded, std::uint64_t size, const scan::ZisofsLayout& layout,
                  std::vector<std::uint8_t>& out, std::string& error);

}  // namespace dravik::readers::iso
