// Test seams of the extraction: FOR TESTS ONLY. The program never calls
// these. A full disk, or a folder that refuses a rename, cannot be arranged
// reliably under root, so tests make the output files fail through here.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace dravik::extract::test_seams {

// Makes an OutputFile fail: the hook gets the stage ("create", "write",
// "commit") and the bytes written so far, and returns an errno to fail that
// stage, or 0. Null restores normal output.
using OutputFaultHook = std::function<int(std::string_view stage, std::uint64_t bytesWritten)>;
void SetOutputFaultHook(OutputFaultHook hook);

}  // namespace dravik::extract::test_seams
