// Test seams of the platform layer: FOR TESTS ONLY. The program never calls
// these. They make file writes and device opens fail on purpose, which
// under root (where permissions refuse nothing) and without real drives
// could not be arranged otherwise, and count the device handles left open.
// Each function's definition sits beside the state it replaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace dravik::platform::test_seams {

// Makes WriteFileAtomically fail: the hook is called with the stage name
// ("write", "sync", "rename") and returns an errno to fail that stage, or
// 0. Null restores normal writes.
using WriteFaultHook = std::function<int(std::string_view stage)>;
void SetWriteFaultHook(WriteFaultHook hook);

// Makes opens of the letter's device fail: read-write opens with
// `readWriteError`, read-only opens with `readOnlyError` (0 = succeed).
void SetOpenFault(char letter, std::uint32_t readWriteError, std::uint32_t readOnlyError);
// Makes the letter a drive substituted onto `target` ("\??\D:\folder"):
// a CD-ROM by drive type, but not a device.
void SetSubstitutedDrive(char letter, const std::string& target);
// Takes back every SetOpenFault and SetSubstitutedDrive.
void ClearDeviceIoFaults();
// How many handles on drives are open now (the drivers opened by name not
// counted).
std::size_t OpenHandleCount();

// What the kernel driver's stand-in has done with devices: how many it
// opened and closed, and how many are open now.
struct DriverCounters {
    std::size_t opens = 0;
    std::size_t closes = 0;
    std::size_t open = 0;
};
DriverCounters KernelDriverCounters();

}  // namespace dravik::platform::test_seams
