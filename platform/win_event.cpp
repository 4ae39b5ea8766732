#include "platform/win_event.h"

#include <chrono>

namespace dravik::platform {

void WinEvent::Set() {
    // Notified under the lock: a waiter that wakes may destroy the event at
    // once, so Set must be done with it before the waiter can run.
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
}

void WinEvent::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool WinEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool WinEvent::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    if (timeoutMs == kInfiniteWait) {
        changed_.wait(lock, [this] { return signalled_; });
        return true;
    }
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; });
}

}  // namespace dravik::platform
