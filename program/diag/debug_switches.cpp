#include "program/diag/debug_switches.h"

#include "program/diag/debug_log.h"

namespace dravik::diag {

std::optional<DebugSwitches> ParseDebugSwitch(std::string_view afterD) {
    DebugSwitches switches;
    if (afterD.empty()) {
        switches.debugMode = true;
        return switches;
    }
    if (afterD.size() > 2) return std::nullopt;
    int value = 0;
    for (char c : afterD) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 15) return std::nullopt;
    switches.debugMode = (value & 1) != 0;
    switches.logWriteThrough = (value & 2) != 0;
    switches.trackAllocations = (value & 4) != 0;
    return switches;
}

void ApplyDebugSwitches(const DebugSwitches& switches) {
    if (switches.debugMode) DebugMode = true;
    if (switches.logWriteThrough) LogWriteThrough = true;
    if (switches.trackAllocations) TrackAllocations = true;
}

}  // namespace dravik::diag
