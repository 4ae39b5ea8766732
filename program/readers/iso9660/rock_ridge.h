// Rock Ridge: the POSIX details a directory record carries in its System
// Use area (names of any length, modes, times, symbolic links, deep
// directory relocation, zisofs compression). The walker here works over
// byte buffers only; the continuation areas ("CE") are fetched through a
// callback, so the same code serves the directory walk and tests that
// hand it bytes directly.
//
// The walk is bounded whatever the bytes say: an entry must lie inside its
// area, at most kMaxContinuationAreas areas are followed per record, an
// area already visited is not visited again, names and link targets stop
// growing at their limits, and an "ST" entry ends the walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "program/scan/item_date.h"

namespace dravik::readers::iso {

constexpr int kMaxContinuationAreas = 16;
constexpr std::size_t kMaxRockRidgeNameBytes = 1024;
constexpr std::size_t kMaxLinkTargetBytes = 4096;

// What one record's System Use entries say. Fields stay at their defaults
// when no entry gave them.
struct RockRidgeEntries {
    bool any = false;  // at least one entry was walked
    // "SP" (only meaningful in the root's own entry): System Use bytes every
    // other record skips before its entries.
    bool sharingProtocol = false;
    std::uint8_t skipBytes = 0;
    std::optional<std::string> name;  // "NM", continued pieces joined; raw bytes
    bool hasMode = false;             // "PX"
    std::uint32_t mode = 0;
    bool hasModified = false;  // "TF" modification time
    scan::ItemDate modified{};
    bool symlink = false;  // "SL": the target as written, components joined by '/'
    std::string linkTarget;
    std::optional<std::uint32_t> childLink;   // "CL": where the relocated directory lies
    std::optional<std::uint32_t> parentLink;  // "PL": the real parent of a relocated directory
    bool relocated = false;                   // "RE": this entry is the moved directory itself
    bool zisofs = false;                      // "ZF" with the "pz" algorithm
    std::uint8_t zisofsHeaderSize = 0;        // 4-byte units
    std::uint8_t zisofsBlockLog2 = 0;
    std::uint32_t zisofsSize = 0;  // the expanded size
    int continuationAreas = 0;     // "CE" areas read
};

// Hands the 2048-byte block `block` (as recorded in a "CE" entry) to the
// walker; false when it cannot be read. The pointer stays valid until the
// next call.
using ContinuationBlockReader = std::function<bool(std::uint32_t block, const std::uint8_t*& data)>;

// The System Use area of a directory record of `recordLength` bytes (all
// inside the caller's buffer): after the identifier, its padding byte and
// `skipBytes`. Empty when nothing is left.
void SystemUseArea(const std::uint8_t* record, std::size_t recordLength, std::size_t skipBytes,
                   const std::uint8_t*& area, std::size_t& length);

// Walks the entries of `area` and of the continuation areas it leads to
// (through `readBlock`; null: continuation areas are not followed).
RockRidgeEntries ParseSystemUse(const std::uint8_t* area, std::size_t length,
                                const ContinuationBlockReader& readBlock = nullptr);

// A Rock Ridge "TF" time in its long (17-byte) form.
scan::ItemDate ItemDateFromLongForm(const std::uint8_t* recorded);

}  // namespace dravik::readers::iso
