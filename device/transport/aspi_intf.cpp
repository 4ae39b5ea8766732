// ASPIIntf: commands as SC_EXEC_SCSI_CMD request blocks, with the time-out
// setting, the 2-minute completion wait, the status handling and the
// common recovery rules; test unit ready and bus device reset.
#include "device/transport/aspi_intf.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "device/test_seams.h"
#include "device/transport/aspi_library.h"
#include "device/transport/recovery_policy.h"
#include "device/transport/sense_extraction.h"
#include "device/transport/transport_log.h"
#include "device/transport/transport_timing.h"
#include "platform/byte_order.h"

namespace dravik::device {
namespace {

using namespace platform::aspi;

constexpr uint32_t kDefaultCompletionWaitMs = 120000;
constexpr uint32_t kTimeoutHalfSeconds = 220;  // 110 s
constexpr uint8_t kAllLuns = 0xFF;

uint32_t completionWaitMs = kDefaultCompletionWaitMs;

char aspiDeviceId[32];

void FailWithAspiStatus(DevRequest* request, uint8_t status) {
    request->requestStatus = status;
    request->senseKey = 0xFF;
    request->asc = 0xFF;
    request->ascq = status;
}

}  // namespace

ASPIIntf::ASPIIntf() : completion_(std::make_unique<platform::WinEvent>()) {}

ASPIIntf::ASPIIntf(const ASPIIntf& other)
    : DeviceIntf(other),
      completion_(std::make_unique<platform::WinEvent>()),
      timeoutsUnsupported_(other.timeoutsUnsupported_),
      timeoutsSet_(other.timeoutsSet_),
      hostAdapter_(other.hostAdapter_),
      target_(other.target_),
      lun_(other.lun_) {}

ASPIIntf::~ASPIIntf() = default;

void ASPIIntf::Shutdown() { ShutdownAspi(); }

DeviceIntf* ASPIIntf::Clone() const { return new (std::nothrow) ASPIIntf(*this); }

bool ASPIIntf::WinVolume(int) { return false; }
bool ASPIIntf::OpenDevice() { return true; }
bool ASPIIntf::CloseDevice() { return true; }
std::string ASPIIntf::GetVersion() { return AspiModuleVersion(); }

const char* ASPIIntf::GetDeviceId() {
    std::snprintf(aspiDeviceId, sizeof aspiDeviceId, "%d:%d", hostAdapter_, target_);
    return aspiDeviceId;
}

void test_seams::SetAspiCompletionWait(uint32_t milliseconds) {
    completionWaitMs = milliseconds ? milliseconds : kDefaultCompletionWaitMs;
}

void ASPIIntf::SetTimeouts() {
    if (timeoutsUnsupported_) return;
    std::array<uint8_t, timeouts::kSize> srb{};
    srb[kCmd] = SC_GETSET_TIMEOUTS;
    srb[kHaId] = static_cast<uint8_t>(hostAdapter_);
    srb[kFlags] = SRB_DIR_OUT;  // set
    srb[timeouts::kTarget] = static_cast<uint8_t>(target_);
    srb[timeouts::kLun] = kAllLuns;
    bytes::PutLe32(srb.data() + timeouts::kTimeout, kTimeoutHalfSeconds);
    SendAspiCommand(srb.data());
    const uint8_t status = srb[kStatus];
    if (status == SS_COMP) {
        timeoutsSet_ = true;
        return;
    }
    TransportLog(*this, 0, "Failure returned setting timeout value: %d", status);
    if (status == SS_INVALID_CMD) timeoutsUnsupported_ = true;
}

bool ASPIIntf::Execute(DevRequest* request, bool interpret) {
    std::array<uint8_t, exec::kSize> srb{};
    const uint32_t direction = request->Direction();
    uint8_t flags = SRB_EVENT_NOTIFY | SRB_ENABLE_RESIDUAL_COUNT;
    if (direction & kRequestDataIn)
        flags |= SRB_DIR_IN;
    else if (direction & kRequestDataOut)
        flags |= SRB_DIR_OUT;
    srb[kCmd] = SC_EXEC_SCSI_CMD;
    srb[kHaId] = static_cast<uint8_t>(hostAdapter_);
    srb[kFlags] = flags;
    srb[exec::kTarget] = static_cast<uint8_t>(target_);
    srb[exec::kLun] = static_cast<uint8_t>(lun_);
    bytes::PutLe32(srb.data() + exec::kBufLen, request->dataLength);
    PutPointer(srb.data() + exec::kBufPointer, request->buffer);
    srb[exec::kSenseLen] = static_cast<uint8_t>(SENSE_LEN);
    // The block holds 16 CDB bytes; a longer length is passed on as it is
    // for the manager to refuse.
    srb[exec::kCdbLen] = request->cdbLength;
    std::memcpy(srb.data() + exec::kCdb, request->cdb, std::min<size_t>(request->cdbLength, exec::kCdbMax));
    PutPointer(srb.data() + exec::kPostProc, completion_.get());

    if (TransportLogs(*this, 1))
        TransportLog(*this, 1, "SCSI Cmd: %s, buffer=%x, buflen=%x", CdbText(request->cdb, request->cdbLength).c_str(),
                     LowBits(request->buffer), request->dataLength);
    SetTimeouts();
    int budget = kRetryBudget;
    for (;;) {
        completion_->Reset();
        const uint32_t started = TransportTicks();
        const uint32_t result = SendAspiCommand(srb.data());
        if (result == SS_PENDING) {
            if (!completion_->Wait(completionWaitMs)) {
                TransportLog(*this, 0, "Timeout on ASPI request after 2 minutes for %d:%d", hostAdapter_, target_);
                // Withdraw the request first, so the manager never writes
                // into this block or the caller's buffer after we return.
                std::array<uint8_t, abort_srb::kSize> abort{};
                abort[kCmd] = SC_ABORT_SRB;
                abort[kHaId] = static_cast<uint8_t>(hostAdapter_);
                PutPointer(abort.data() + abort_srb::kToAbort, srb.data());
                SendAspiCommand(abort.data());
                request->hostStatus = srb[exec::kHaStat];
                FailWithAspiStatus(request, srb[kStatus]);
                ResetDevice();
                return false;
            }
        } else if (result != SS_COMP && result != SS_ERR) {
            TransportLog(*this, 0, "Initial failure returned by %02x command, error=%x", request->cdb[0], result);
            FailWithAspiStatus(request, static_cast<uint8_t>(result));
            return false;
        }
        const uint32_t elapsed = TransportTicks() - started;
        if (AbortRequested(request)) budget = 0;

        const uint8_t status = srb[kStatus];
        if (status == SS_COMP) {
            request->senseKey = request->asc = request->ascq = 0;
            request->requestStatus = 0;
            return true;
        }
        request->requestStatus = status;
        if (status != SS_ERR) {
            TransportLog(*this, 0, "Status returned from ASPI: %02x", status);
            if (status == SS_ABORTED && budget-- > 0) continue;
            FailWithAspiStatus(request, status);
            return false;
        }
        ExtractSense(srb.data() + exec::kSenseArea, exec::kSenseAreaLength, request);
        if (!interpret) return false;

        const uint8_t hostStatus = srb[exec::kHaStat];
        if (hostStatus == HASTAT_TIMEOUT || hostStatus == HASTAT_COMMAND_TIMEOUT) return false;
        if (hostStatus != HASTAT_OK) {
            TransportLog(*this, 0, "Host Adapter status error: %02x", hostStatus);
            if (AbortRequested(request)) budget = 0;
            if (budget-- <= 0) {
                request->senseKey = 0xFD;
                request->asc = 0xFD;
                request->ascq = hostStatus;
                ResetDevice();
                return false;
            }
            continue;
        }
        TransportLog(*this, 1, "Command error: cmd=%x, block=%d, status=%x, Sense=%x %x", request->cdb[0],
                     CdbBlock(request->cdb), status, request->asc, request->ascq);
        if (ApplyCommonRecovery(*this, request, budget, elapsed, nullptr) == Recovery::kFail) return false;
    }
}

bool ASPIIntf::TestUnitReady(DevRequest* request, bool retry) {
    const int attempts = retry ? 3 : 1;
    std::array<uint8_t, exec::kSize> srb{};
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) TransportSleep(kTestUnitReadyPauseMs);
        srb.fill(0);
        srb[kCmd] = SC_EXEC_SCSI_CMD;
        srb[kHaId] = static_cast<uint8_t>(hostAdapter_);
        srb[kFlags] = SRB_EVENT_NOTIFY;
        srb[exec::kTarget] = static_cast<uint8_t>(target_);
        srb[exec::kSenseLen] = static_cast<uint8_t>(SENSE_LEN);
        srb[exec::kCdbLen] = 6;
        PutPointer(srb.data() + exec::kPostProc, completion_.get());
        completion_->Reset();
        if (SendAspiCommand(srb.data()) == SS_PENDING) completion_->Wait(platform::kInfiniteWait);
        if (srb[kStatus] == SS_COMP) return true;
    }
    ExtractSense(srb.data() + exec::kSenseArea, exec::kSenseAreaLength, request);
    return false;
}

bool ASPIIntf::ResetDevice() {
    if (!timeoutsSet_) return false;
    std::array<uint8_t, reset::kSize> srb{};
    srb[kCmd] = SC_RESET_DEV;
    srb[kHaId] = static_cast<uint8_t>(hostAdapter_);
    srb[kFlags] = SRB_EVENT_NOTIFY;
    srb[reset::kTarget] = static_cast<uint8_t>(target_);
    PutPointer(srb.data() + reset::kPostProc, completion_.get());
    completion_->Reset();
    const uint32_t result = SendAspiCommand(srb.data());
    if (result == SS_PENDING) {
        completion_->Wait(platform::kInfiniteWait);
    } else if (result != SS_COMP) {
        TransportLog(*this, 0, "Initial failure returned by ResetDevice command, error=%x", result);
        return false;
    }
    return srb[reset::kHaStat] == HASTAT_OK && srb[kStatus] == SS_COMP;
}

}  // namespace dravik::device
