// Fields of the drive's replies: signed block addresses, block sums that
// cannot overflow, and the minutes/seconds/frames form. Plain big-endian
// numbers are read through platform/byte_order.h, included here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_order.h"

namespace dravik::scan {

// A block address as the drive sends it (two's complement, so the pre-gap
// of a first track can be negative).
inline std::int32_t ReplyBlock(const std::uint8_t* at) { return static_cast<std::int32_t>(bytes::GetBe32(at)); }

// start + count, held within the 32-bit block range a node can record.
inline std::int32_t AddBlocks(std::int64_t start, std::int64_t count) {
    const std::int64_t sum = start + count;
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(sum);
}

// Minutes, seconds and frames as blocks, without the 150-block offset.
inline std::int32_t MsfToBlocks(int minutes, int seconds, int frames) {
    return minutes * 4500 + seconds * 75 + frames;
}

// A count of bytes to dump: the reply's own length plus its length field,
// never more than the buffer holds.
inline int DumpLength(std::size_t replyLength, std::size_t limit) {
    return static_cast<int>(replyLength + 2 < limit ? replyLength + 2 : limit);
}

}  // namespace dravik::scan
