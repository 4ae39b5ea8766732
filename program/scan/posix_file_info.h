// What a file on a Rock Ridge volume carries beyond an ISO 9660 record: its
// POSIX mode, the target of a symbolic link, and how a zisofs-compressed
// file is stored. The ISO reader fills it in and the item owns it (released
// with the item); the views show links, the extractor writes links as links
// and expands compressed files.
#pragma once

#include <cstdint>
#include <string>

namespace dravik::scan {

struct FoundItem;

constexpr std::uint32_t kPosixTypeMask = 0170000;
constexpr std::uint32_t kPosixSymlink = 0120000;
constexpr std::uint32_t kPosixDirectory = 0040000;

// A zisofs file: its data blocks hold a header, a table of block pointers
// and zlib streams of 2^blockLog2 bytes each; the item's size is the
// expanded size and `storedSize` the bytes recorded on the disc.
struct ZisofsLayout {
    std::uint32_t storedSize = 0;
    std::uint8_t headerSize = 0;  // in 4-byte units, as recorded in the entry
    std::uint8_t blockLog2 = 0;
};

struct PosixFileInfo {
    bool hasMode = false;
    std::uint32_t mode = 0;
    bool symlink = false;
    std::string linkTarget;  // as written on the disc, never resolved
    bool zisofs = false;
    ZisofsLayout compressed;
};

// Gives the item its details; the item owns them from now on. A second
// call replaces the first.
void SetPosixFileInfo(FoundItem* item, PosixFileInfo info);
// The item's details, or null when it has none.
const PosixFileInfo* ItemPosixFileInfo(const FoundItem* item);
// The target of a symbolic link item, or null for any other item.
const std::string* ItemLinkTarget(const FoundItem* item);
// Releases the details (called when the item is released).
void ReleasePosixFileInfo(FoundItem* item);

}  // namespace dravik::scan
