// Minute/second/frame addresses. An MSF address is the block address plus
// the 150 blocks of the first track's pre-gap; 75 frames make a second.
#pragma once

#include <cstdint>

namespace dravik::vdrive {

inline constexpr int32_t kMsfOffset = 150;
inline constexpr int32_t kFramesPerSecond = 75;
inline constexpr int32_t kFramesPerMinute = 60 * 75;

struct Msf {
    uint8_t minute = 0, second = 0, frame = 0;
};

// The MSF of an absolute frame count (no offset added). Counts outside what
// one minute byte can hold saturate, so a reply never wraps around.
inline Msf FramesToMsf(int64_t frames) {
    if (frames < 0) frames = 0;
    const int64_t maxFrames = 255LL * kFramesPerMinute + 59 * kFramesPerSecond + 74;
    if (frames > maxFrames) frames = maxFrames;
    return Msf{uint8_t(frames / kFramesPerMinute), uint8_t(frames / kFramesPerSecond % 60),
               uint8_t(frames % kFramesPerSecond)};
}

// The MSF that names block `lba` (lba + 150). Blocks of the lead-in before
// the disc's zero point (lba below -150) use the 100-minute wrap of the
// lead-in area: -151 is 99:59:74.
inline Msf LbaToMsf(int32_t lba) {
    int64_t frames = int64_t(lba) + kMsfOffset;
    if (frames < 0) frames += 100LL * kFramesPerMinute;
    return FramesToMsf(frames);
}

inline int32_t MsfToFrames(uint32_t m, uint32_t s, uint32_t f) {
    return int32_t(m * kFramesPerMinute + s * kFramesPerSecond + f);
}

// The block that an MSF address names (the inverse of LbaToMsf for the
// program area).
inline int32_t MsfToLba(uint32_t m, uint32_t s, uint32_t f) { return MsfToFrames(m, s, f) - kMsfOffset; }

inline uint8_t ToBcd(uint32_t v) { return uint8_t((v / 10 % 10) << 4 | v % 10); }

}  // namespace dravik::vdrive
