// Where the extractor gets a file's blocks from: the selected drive in the
// program and the CLI, an in-memory disc in tests.
#pragma once

#include <cstdint>

namespace dravik::extract {

constexpr std::uint32_t kBlockBytes = 2048;

class BlockSource {
public:
    virtual ~BlockSource() = default;
    // Reads `count` 2048-byte blocks from `block` into `out`. False when any
    // of them could not be read after the drive's own retries; the
    // extractor then asks again block by block.
    virtual bool Read(std::int32_t block, int count, std::uint8_t* out) = 0;
    // True when the user asked to stop.
    virtual bool Aborted() const { return false; }
};

}  // namespace dravik::extract
