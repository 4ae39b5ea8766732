// The Rock Ridge System Use walker and the zisofs expander over raw bytes.
// The first byte chooses which one; for the walker the rest is the System
// Use area, and its continuation blocks are cut from the same bytes; for
// zisofs the next bytes give the block size and the expanded size, and the
// rest is the recorded file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "program/readers/iso9660/rock_ridge.h"
#include "program/readers/iso9660/zisofs_stream.h"

using namespace dravik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t mode = data[0];
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    if ((mode & 1) == 0) {
        // Continuation block n is 2048 bytes of the input from n * 64 on,
        // zero-padded, so entries can point at overlapping areas and back
        // at themselves.
        std::vector<std::uint8_t> block(2048);
        auto readBlock = [&](std::uint32_t n, const std::uint8_t*& out) {
            if (n % 7 == 3) return false;  // some blocks cannot be read
            std::fill(block.begin(), block.end(), 0);
            const std::size_t from = (static_cast<std::size_t>(n) * 64) % (restSize + 1);
            for (std::size_t i = 0; i < block.size() && from + i < restSize; ++i) block[i] = rest[from + i];
            out = block.data();
            return true;
        };
        const readers::iso::RockRidgeEntries entries = readers::iso::ParseSystemUse(rest, restSize, readBlock);
        if (entries.continuationAreas > readers::iso::kMaxContinuationAreas) __builtin_trap();
        if (entries.name && entries.name->size() > readers::iso::kMaxRockRidgeNameBytes) __builtin_trap();
        if (entries.linkTarget.size() > readers::iso::kMaxLinkTargetBytes) __builtin_trap();
        // A whole directory record around the same bytes.
        const std::uint8_t* area = nullptr;
        std::size_t length = 0;
        readers::iso::SystemUseArea(rest, restSize > 255 ? 255 : restSize, mode >> 4, area, length);
        if (area && (area < rest || area + length > rest + restSize)) __builtin_trap();
        return 0;
    }
    if (restSize < 5) return 0;
    scan::ZisofsLayout layout;
    layout.blockLog2 = static_cast<std::uint8_t>(15 + rest[0] % 3);
    layout.headerSize = 4;
    // At most 256 KiB expanded, so one input cannot ask for gigabytes.
    const std::uint64_t expanded = bytes::GetLe32(rest + 1) % (256u * 1024u);
    std::vector<std::uint8_t> recorded(rest + 5, rest + restSize);
    layout.storedSize = static_cast<std::uint32_t>(recorded.size());
    std::vector<std::uint8_t> out;
    std::string error;
    readers::iso::ExpandZisofs(recorded, expanded, layout, out, error);
    if (out.size() > expanded) __builtin_trap();
    return 0;
}
