// Clock and sleep of the transports' retry waits. Tests replace the sleep
// (device/test_seams.h) so the waits can be counted instead of slept.
#pragma once

#include <cstdint>

namespace dravik::device {

// Milliseconds of a monotonic clock.
uint32_t TransportTicks();
void TransportSleep(uint32_t milliseconds);

}  // namespace dravik::device
