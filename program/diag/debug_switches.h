// The number after the command line's -D switch: decimal 1 to 15, read as
// bits (1 = DebugMode, 2 = LogWriteThrough, 4 = TrackAllocations, 8 = no
// effect); -D alone means DebugMode only.
#pragma once

#include <optional>
#include <string_view>

namespace dravik::diag {

struct DebugSwitches {
    bool debugMode = false;
    bool logWriteThrough = false;
    bool trackAllocations = false;
};

// `afterD` is what follows "-D" in the same argument. Returns nothing when
// it is not empty and not a whole decimal number from 1 to 15.
std::optional<DebugSwitches> ParseDebugSwitch(std::string_view afterD);

// Turns on the switches that are set; never turns one off (a later source,
// such as the stored settings, can only add).
void ApplyDebugSwitches(const DebugSwitches& switches);

}  // namespace dravik::diag
