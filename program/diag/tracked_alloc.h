// The program's heap blocks go through TrackedAlloc/TrackedFree, which take
// the caller's source file and line. With TrackAllocations on, each block
// carries guard words before and after the caller's bytes and every
// allocation and release is logged; a damaged guard ends the program after
// logging where the block was freed from.
//
// Guarded block layout (32 bytes more than asked, 32-bit words):
//   0: 0x12345678   4: size asked   8, 12: 0xFEFEFEFE   16: caller's bytes
//   16+size, 20+size: 0xFEFEFEFE    24+size, 28+size: 0x12345678
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace dravik::diag {

constexpr std::uint32_t kGuardHead = 0x12345678;
constexpr std::uint32_t kGuardFill = 0xFEFEFEFE;
constexpr std::size_t kGuardHeaderBytes = 16;
constexpr std::size_t kGuardBytes = 32;

void* TrackedAlloc(std::size_t size, const char* sourceFile, int line);
void TrackedFree(void* block, const char* sourceFile, int line);

// Checks the guard words of every live guarded block. A damaged block is
// logged with its header address and the heap fault handler runs.
void CheckHeap();

// Called with a description when a guard word is found damaged. The
// default logs nothing more and ends the program (abort), which stands
// where a debugger trap would be. Tests install a handler that records and
// returns; TrackedFree then leaves the damaged block unreleased.
using HeapFaultHandler = std::function<void(const std::string& what)>;
void SetHeapFaultHandler(HeapFaultHandler handler);

// Called when an allocation fails, before the log line; the message layer
// installs the one that tells the user (message 111).
using AllocationFailureNotifier = void (*)();
void SetAllocationFailureNotifier(AllocationFailureNotifier notifier);

// The number of guarded blocks currently allocated (for tests and shutdown).
std::size_t LiveGuardedBlocks();

// Text of an address as the allocation log lines show it: lower-case hex
// of the whole pointer, no prefix.
std::string AddressText(const void* address);

}  // namespace dravik::diag
