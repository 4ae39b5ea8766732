// Clock and sleep of the transports' retry waits, replaceable by tests so
// the waits can be counted instead of slept.
#pragma once

#include <cstdint>
#include <functional>

namespace dravik::device {

// Milliseconds of a monotonic clock.
uint32_t TransportTicks();
void TransportSleep(uint32_t milliseconds);

// Replaces the sleep (an empty function restores the real one).
void SetTransportSleepForTesting(std::function<void(uint32_t)> sleeper);

}  // namespace dravik::device
