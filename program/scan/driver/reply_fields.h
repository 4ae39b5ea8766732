// Fields of the drive's replies: big-endian numbers read byte by byte,
// block sums that cannot overflow, and the minutes/seconds/frames form.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravik::scan {

inline std::uint16_t ReplyBe16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}
inline std::uint32_t ReplyBe32(const std::uint8_t* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}
// A block address as the drive sends it (two's complement, so the pre-gap
// of a first track can be negative).
inline std::int32_t ReplyBlock(const std::uint8_t* at) { return static_cast<std::int32_t>(ReplyBe32(at)); }

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
