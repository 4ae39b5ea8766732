// The ASPI manager: host adapters and targets over the drives of the
// process, and the handling of each request block. Drives appear two to an
// adapter, as the two drives of an IDE channel do: the n-th drive (in
// letter order) is adapter n / 2, target n % 2, LUN 0.
#pragma once

#include <cstdint>

namespace dravik::platform::aspi {

inline constexpr int kDrivesPerAdapter = 2;
inline constexpr uint8_t kTargetsReported = 8;        // HA_Unique byte 3
inline constexpr uint32_t kMaxTransferBytes = 16u << 20;  // larger: SS_BUFFER_TO_BIG

uint32_t SupportInfo();
uint32_t SendCommand(uint8_t* srb);

// Request block handlers; each returns the value SendASPI32Command returns.
uint32_t ExecuteScsiCommand(uint8_t* srb);
uint32_t AbortRequest(uint8_t* srb);
uint32_t ResetTarget(uint8_t* srb);

// The time-out set for an adapter and target, in milliseconds.
uint32_t TargetTimeoutMs(int adapter, int target);

}  // namespace dravik::platform::aspi
