#include "device/transport/recovery_policy.h"

#include "device/cddevice/cddevice.h"
#include "device/transport/transport_log.h"
#include "device/transport/transport_timing.h"

namespace dravik::device {
namespace {

constexpr uint8_t kAscNotReady = 0x04;
constexpr uint8_t kAscqLongWrite = 0x08;
constexpr uint8_t kAscInvalidField = 0x24;
constexpr uint8_t kAscMediumChanged = 0x28;
constexpr uint8_t kAscPowerOnReset = 0x29;

// "The budget, taken and decremented, was above 0."
bool TakeRetry(int& budget) { return budget-- > 0; }

}  // namespace

bool AbortRequested(const DevRequest* request) { return request && request->owner && request->owner->IsAbortSet(); }

Recovery ApplyCommonRecovery(DeviceIntf& transport, DevRequest* request, int& budget, uint32_t elapsedMs,
                             const std::function<void()>& commandErrorLine) {
    if (request->senseKey == 0 && request->asc == 0 && TakeRetry(budget)) return Recovery::kRetry;
    if (commandErrorLine) commandErrorLine();
    if (request->asc == kAscInvalidField)
        TransportLog(transport, 0, "Failing SCSI Cmd CDB: %s, sense=%02x %02x",
                     CdbText(request->cdb, request->cdbLength).c_str(), request->asc, request->ascq);

    if (request->asc == kAscMediumChanged || request->asc == kAscPowerOnReset) {
        if (elapsedMs > kQuickAttemptMs) return Recovery::kFail;
        // With no retry left the outcome is settled; waiting would only
        // delay a cancelled or exhausted command.
        if (budget <= 0) return Recovery::kFail;
        TransportSleep(kResetSettleMs);
        return TakeRetry(budget) ? Recovery::kRetry : Recovery::kFail;
    }
    if (request->asc == kAscNotReady && request->ascq != kAscqLongWrite) {
        if (budget <= 0) return Recovery::kFail;
        for (int poll = 0; poll < kNotReadyPolls; ++poll) {
            TransportSleep(kNotReadyPollMs);
            if (transport.TestUnitReady(request, true)) break;
        }
        return TakeRetry(budget) ? Recovery::kRetry : Recovery::kFail;
    }
    return Recovery::kFail;
}

}  // namespace dravik::device
