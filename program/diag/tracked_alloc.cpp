#include "program/diag/tracked_alloc.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "program/diag/debug_log.h"

namespace dravik::diag {

namespace {

std::mutex& StateLock() {
    static std::mutex lock;
    return lock;
}
// Header address -> size asked for, of every live guarded block: CheckHeap
// walks them, and a damaged size word never sends a check outside a block.
std::unordered_map<unsigned char*, std::size_t>& LiveBlocks() {
    static std::unordered_map<unsigned char*, std::size_t> blocks;
    return blocks;
}
HeapFaultHandler& FaultHandler() {
    static HeapFaultHandler handler;
    return handler;
}
std::atomic<AllocationFailureNotifier> g_failureNotifier{nullptr};

std::uint32_t ReadWord(const unsigned char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}
void WriteWord(unsigned char* at, std::uint32_t value) { std::memcpy(at, &value, sizeof value); }

bool GuardsIntact(const unsigned char* header, std::size_t size) {
    if (ReadWord(header) != kGuardHead || ReadWord(header + 4) != size ||
        ReadWord(header + 8) != kGuardFill || ReadWord(header + 12) != kGuardFill)
        return false;
    const unsigned char* trailer = header + kGuardHeaderBytes + size;
    return ReadWord(trailer) == kGuardFill && ReadWord(trailer + 4) == kGuardFill &&
           ReadWord(trailer + 8) == kGuardHead && ReadWord(trailer + 12) == kGuardHead;
}

void RaiseHeapFault(const std::string& what) {
    HeapFaultHandler handler;
    {
        std::lock_guard<std::mutex> hold(StateLock());
        handler = FaultHandler();
    }
    if (handler) {
        handler(what);
        return;
    }
    std::fprintf(stderr, "dravik: %s; ending the program\n", what.c_str());
    std::abort();
}

}  // namespace

std::string AddressText(const void* address) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIxPTR, reinterpret_cast<std::uintptr_t>(address));
    return text;
}

void SetHeapFaultHandler(HeapFaultHandler handler) {
    std::lock_guard<std::mutex> hold(StateLock());
    FaultHandler() = std::move(handler);
}

void SetAllocationFailureNotifier(AllocationFailureNotifier notifier) { g_failureNotifier = notifier; }

std::size_t LiveGuardedBlocks() {
    std::lock_guard<std::mutex> hold(StateLock());
    return LiveBlocks().size();
}

void* TrackedAlloc(std::size_t size, const char* sourceFile, int line) {
    const char* file = sourceFile ? sourceFile : "?";
    const bool tracking = TrackAllocations;
    std::size_t total = size;
    bool fits = true;
    if (tracking) {
        DebugPrint("Allocating memory: %zu bytes from line %d in %s", size, line, file);
        // The header keeps the size in 32 bits.
        fits = size <= 0xFFFFFFFFu - kGuardBytes;
        total = size + kGuardBytes;
    }
    unsigned char* block = fits ? static_cast<unsigned char*>(std::malloc(total == 0 ? 1 : total)) : nullptr;
    if (!block) {
        if (AllocationFailureNotifier notify = g_failureNotifier) notify();
        if (DebugMode) DebugPrint("Error allocating storage from %s, line %d, size=%zu", file, line, total);
        return nullptr;
    }
    if (!tracking) return block;

    WriteWord(block, kGuardHead);
    WriteWord(block + 4, static_cast<std::uint32_t>(size));
    WriteWord(block + 8, kGuardFill);
    WriteWord(block + 12, kGuardFill);
    unsigned char* trailer = block + kGuardHeaderBytes + size;
    WriteWord(trailer, kGuardFill);
    WriteWord(trailer + 4, kGuardFill);
    WriteWord(trailer + 8, kGuardHead);
    WriteWord(trailer + 12, kGuardHead);
    {
        std::lock_guard<std::mutex> hold(StateLock());
        LiveBlocks().emplace(block, size);
    }
    unsigned char* callers = block + kGuardHeaderBytes;
    DebugPrint("Allocated memory at %s", AddressText(callers).c_str());
    CheckHeap();
    return callers;
}

void TrackedFree(void* block, const char* sourceFile, int line) {
    if (!block) return;
    const char* file = sourceFile ? sourceFile : "?";
    unsigned char* callers = static_cast<unsigned char*>(block);
    unsigned char* header = callers - kGuardHeaderBytes;
    bool guarded = false;
    std::size_t size = 0;
    {
        std::lock_guard<std::mutex> hold(StateLock());
        auto found = LiveBlocks().find(header);
        if (found != LiveBlocks().end()) {
            guarded = true;
            size = found->second;
        }
    }
    // A block allocated while tracking was off has no guards; it is released
    // as it is even when tracking has been turned on since.
    if (!TrackAllocations || !guarded) {
        if (guarded) {
            std::lock_guard<std::mutex> hold(StateLock());
            LiveBlocks().erase(header);
            std::free(header);
            return;
        }
        std::free(callers);
        return;
    }
    DebugPrint("Freeing memory at %s from line %d in %s", AddressText(callers).c_str(), line, file);
    // The block's own guards first, so that its damage is reported as a bad
    // release from this caller rather than by the general heap check.
    if (!GuardsIntact(header, size)) {
        DebugPrint("Error freeing storage from %s line %d: storage at %s", file, line,
                   AddressText(header).c_str());
        RaiseHeapFault("damaged guard words in the block at " + AddressText(header) + " freed from " +
                       file + " line " + std::to_string(line));
        return;  // the block is not released
    }
    CheckHeap();
    {
        std::lock_guard<std::mutex> hold(StateLock());
        LiveBlocks().erase(header);
    }
    std::free(header);
    CheckHeap();
}

void CheckHeap() {
    std::vector<unsigned char*> damaged;
    {
        std::lock_guard<std::mutex> hold(StateLock());
        for (const auto& [header, size] : LiveBlocks())
            if (!GuardsIntact(header, size)) damaged.push_back(header);
    }
    for (unsigned char* header : damaged) {
        DebugPrint("Heap check failed: storage at %s", AddressText(header).c_str());
        RaiseHeapFault("heap check found damaged guard words in the block at " + AddressText(header));
    }
}

}  // namespace dravik::diag
