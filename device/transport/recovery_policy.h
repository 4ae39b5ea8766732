// What every transport does after a command failed with sense data: retry
// an empty sense, wait for a drive that is becoming ready, retry a quick
// unit attention once the drive settled, give up on anything else. Each
// retry costs one unit of the caller's budget.
#pragma once

#include <cstdint>
#include <functional>

#include "device/request/dev_request.h"
#include "device/transport/device_intf.h"

namespace dravik::device {

enum class Recovery { kRetry, kFail };

inline constexpr int kRetryBudget = 5;                // retries a transport grants one command
inline constexpr uint32_t kTestUnitReadyPauseMs = 100;
inline constexpr uint32_t kQuickAttemptMs = 110;   // a unit attention after longer is not retried
inline constexpr uint32_t kResetSettleMs = 500;
inline constexpr int kNotReadyPolls = 12;
inline constexpr uint32_t kNotReadyPollMs = 250;

// `budget` is the remaining retries; `elapsedMs` how long the failed
// attempt took. `commandErrorLine` writes the transport's own
// command-error log line (null when the transport wrote it already).
Recovery ApplyCommonRecovery(DeviceIntf& transport, DevRequest* request, int& budget, uint32_t elapsedMs,
                             const std::function<void()>& commandErrorLine);

// The owner's abort flag; false for a request without owner.
bool AbortRequested(const DevRequest* request);

}  // namespace dravik::device
