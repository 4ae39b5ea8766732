// A manual-reset event: once Set it stays signalled, releasing every
// waiter, until Reset. The ASPI transport hands one to the ASPI manager as
// the completion notice of a request; the manager sets it from its worker
// thread. Both sides are compiled from this header, so the object may be
// set from code in another module of the same process.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace dravik::platform {

inline constexpr uint32_t kInfiniteWait = 0xFFFFFFFFu;

class WinEvent {
public:
    WinEvent() = default;
    WinEvent(const WinEvent&) = delete;
    WinEvent& operator=(const WinEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event was (or became) signalled within timeoutMs;
    // kInfiniteWait waits without limit.
    bool Wait(uint32_t timeoutMs);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

}  // namespace dravik::platform
