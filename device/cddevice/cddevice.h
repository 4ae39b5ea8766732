// CDDevice: the one class through which the program reaches an optical
// drive. This header grows with the device object; the transports rely on
// the abort flag below.
#pragma once

#include <atomic>

#include "device/export.h"

namespace dravik::device {

class ZOLTDEV_API CDDevice {
public:
    // Set from any thread (the progress dialog's cancel); read by the read
    // retry loops and by the transports, whose retry budgets drop to zero.
    void SetAbortFlag() { abortFlag_.store(true, std::memory_order_relaxed); }
    void ClearAbortFlag() { abortFlag_.store(false, std::memory_order_relaxed); }
    bool IsAbortSet() const { return abortFlag_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> abortFlag_{false};
};

}  // namespace dravik::device
