// Sizes and intervals the recording commands (write_*.cpp) share.
#pragma once

#include <cstdint>

namespace dravik::device::rec {

// Room for any disc or track information reply a recorder gives.
inline constexpr int kInfoBytes = 256;
// READ FORMAT CAPACITIES as the recording commands ask for it.
inline constexpr int kFormatCapacityBytes = 2048;
// Format type of the DVD+RW full format.
inline constexpr uint8_t kFullFormatType = 0x26;
// Between two polls of a busy recorder.
inline constexpr int kPollIntervalMs = 50;

}  // namespace dravik::device::rec
