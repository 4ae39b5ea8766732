// SCSI commands of the ASPI manager. Each runs on a worker thread of its
// own against a private copy of the data, as a real manager completes
// requests from its interrupt path: the caller gets SS_PENDING, and the
// block, the caller's buffer and the event are written only when the
// command finishes and only while the request is still registered. A
// request withdrawn by SC_ABORT_SRB or SC_RESET_DEV is never touched again,
// so a caller that gave up waiting may reuse or free its block at once.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/aspi_srb.h"
#include "platform/drive_source.h"
#include "platform/byte_order.h"
#include "platform/scsi_drive.h"
#include "platform/win_event.h"
#include "platform/wnaspi32/aspi_manager.h"

namespace dravik::platform::aspi {
namespace {

constexpr uint16_t kLinuxNoConnect = 1;  // host codes of the SCSI generic interface
constexpr uint16_t kLinuxBusBusy = 2;
constexpr uint16_t kLinuxTimeOut = 3;
constexpr uint16_t kLinuxReset = 8;

struct Pending {
    uint8_t* srb = nullptr;  // the caller's block
    WinEvent* event = nullptr;
    uint8_t* callerBuffer = nullptr;
    std::vector<uint8_t> data;  // the command's own copy of the transfer
    bool dataIn = false;
    bool reportResidual = false;
    int adapter = 0;
    int target = 0;
};

struct PendingTable {
    std::mutex mutex;
    std::map<uint8_t*, std::shared_ptr<Pending>> bySrb;
};

// Never destroyed: workers of commands that never finished may outlive the
// static objects at process exit.
PendingTable& pending() {
    static auto* table = new PendingTable;
    return *table;
}

uint8_t HostStatusOf(const ScsiResult& result) {
    if (result.transportErrno == ETIMEDOUT || result.hostStatus == kLinuxTimeOut) return HASTAT_COMMAND_TIMEOUT;
    if (result.hostStatus == kLinuxNoConnect) return HASTAT_SEL_TO;
    if (result.hostStatus == kLinuxBusBusy) return HASTAT_BUS_FREE;
    if (result.hostStatus == kLinuxReset) return HASTAT_BUS_RESET;
    if (result.transportErrno != 0 || result.hostStatus != 0) return HASTAT_PHASE_ERR;
    return HASTAT_OK;
}

// Called with the table locked and the request still registered.
void Complete(Pending& request, const ScsiResult& result, size_t requested) {
    uint8_t* srb = request.srb;
    const uint8_t hostStatus = HostStatusOf(result);
    const size_t residual = std::min(result.residual, requested);
    if (request.dataIn && hostStatus == HASTAT_OK)
        std::memcpy(request.callerBuffer, request.data.data(), requested - residual);
    srb[exec::kHaStat] = hostStatus;
    srb[exec::kTargStat] = hostStatus == HASTAT_OK ? result.scsiStatus : 0;
    if (hostStatus == HASTAT_OK && result.scsiStatus == kScsiCheckCondition) {
        const size_t room = std::min<size_t>(srb[exec::kSenseLen], exec::kSenseAreaLength);
        std::memset(srb + exec::kSenseArea, 0, room);
        std::memcpy(srb + exec::kSenseArea, result.sense, std::min<size_t>(room, result.senseLength));
    }
    if (request.reportResidual) bytes::PutLe32(srb + exec::kBufLen, static_cast<uint32_t>(residual));
    srb[kStatus] = (hostStatus == HASTAT_OK && result.scsiStatus == kScsiGood) ? SS_COMP : SS_ERR;
}

void Withdraw(PendingTable& table, std::map<uint8_t*, std::shared_ptr<Pending>>::iterator it, uint8_t hostStatus) {
    Pending& request = *it->second;
    request.srb[exec::kHaStat] = hostStatus;
    request.srb[kStatus] = SS_ABORTED;
    if (request.event) request.event->Set();
    table.bySrb.erase(it);
}

}  // namespace

uint32_t ExecuteScsiCommand(uint8_t* srb) {
    const DriveList drives = ListDrivesOfProcess();
    const int adapter = srb[kHaId];
    const int target = srb[exec::kTarget];
    const size_t index = static_cast<size_t>(adapter) * kDrivesPerAdapter + target;
    if (static_cast<size_t>(adapter) * kDrivesPerAdapter >= drives.size()) {
        srb[kStatus] = SS_INVALID_HA;
        return SS_INVALID_HA;
    }
    if (target >= kDrivesPerAdapter || srb[exec::kLun] != 0 || index >= drives.size()) {
        srb[kStatus] = SS_NO_DEVICE;
        return SS_NO_DEVICE;
    }
    const uint8_t flags = srb[kFlags];
    const uint8_t cdbLength = srb[exec::kCdbLen];
    const uint32_t length = bytes::GetLe32(srb + exec::kBufLen);
    auto* buffer = GetPointer<uint8_t>(srb + exec::kBufPointer);
    auto* event = GetPointer<WinEvent>(srb + exec::kPostProc);
    uint8_t status = SS_PENDING;
    if (cdbLength == 0 || cdbLength > exec::kCdbMax || (length > 0 && !buffer) ||
        ((flags & SRB_DIR_IN) && (flags & SRB_DIR_OUT)) || ((flags & SRB_EVENT_NOTIFY) && !event))
        status = SS_INVALID_SRB;
    else if (length > kMaxTransferBytes)
        status = SS_BUFFER_TO_BIG;
    if (status != SS_PENDING) {
        srb[kStatus] = status;
        return status;
    }

    auto request = std::make_shared<Pending>();
    request->srb = srb;
    request->event = (flags & SRB_EVENT_NOTIFY) ? event : nullptr;
    request->callerBuffer = buffer;
    request->dataIn = length > 0 && !(flags & SRB_DIR_OUT);
    request->reportResidual = (flags & SRB_ENABLE_RESIDUAL_COUNT) != 0;
    request->adapter = adapter;
    request->target = target;
    request->data.assign(length, 0);
    if (length > 0 && (flags & SRB_DIR_OUT)) std::memcpy(request->data.data(), buffer, length);
    std::vector<uint8_t> cdb(srb + exec::kCdb, srb + exec::kCdb + cdbLength);
    const DataDirection direction =
        length == 0 ? DataDirection::kNone : (request->dataIn ? DataDirection::kIn : DataDirection::kOut);
    const uint32_t timeoutMs = TargetTimeoutMs(adapter, target);

    auto& table = pending();
    {
        std::lock_guard lock(table.mutex);
        srb[kStatus] = SS_PENDING;
        table.bySrb[srb] = request;
    }
    std::thread([request, drive = drives[index].drive, cdb = std::move(cdb), direction, timeoutMs, length] {
        ScsiRequest command;
        command.cdb = cdb.data();
        command.cdbLength = cdb.size();
        command.direction = direction;
        command.data = length ? request->data.data() : nullptr;
        command.dataLength = length;
        command.timeoutMs = timeoutMs;
        const ScsiResult result = drive->Execute(command);
        auto& table = pending();
        std::lock_guard lock(table.mutex);
        auto it = table.bySrb.find(request->srb);
        if (it == table.bySrb.end() || it->second != request) return;  // withdrawn meanwhile
        Complete(*request, result, length);
        if (request->event) request->event->Set();
        table.bySrb.erase(it);
    }).detach();
    return SS_PENDING;
}

uint32_t AbortRequest(uint8_t* srb) {
    auto* toAbort = GetPointer<uint8_t>(srb + abort_srb::kToAbort);
    auto& table = pending();
    std::lock_guard lock(table.mutex);
    auto it = table.bySrb.find(toAbort);
    if (it == table.bySrb.end()) {
        srb[kStatus] = SS_ABORT_FAIL;
        return SS_ABORT_FAIL;
    }
    Withdraw(table, it, HASTAT_OK);
    srb[kStatus] = SS_COMP;
    return SS_COMP;
}

// A bus device reset ends every command outstanding on the target.
uint32_t ResetTarget(uint8_t* srb) {
    const int adapter = srb[kHaId];
    const int target = srb[reset::kTarget];
    auto& table = pending();
    std::lock_guard lock(table.mutex);
    for (auto it = table.bySrb.begin(); it != table.bySrb.end();) {
        auto next = std::next(it);
        if (it->second->adapter == adapter && it->second->target == target && it->first != srb)
            Withdraw(table, it, HASTAT_BUS_RESET);
        it = next;
    }
    srb[reset::kHaStat] = HASTAT_OK;
    srb[reset::kTargStat] = 0;
    srb[kStatus] = SS_COMP;
    if (srb[kFlags] & SRB_EVENT_NOTIFY)
        if (auto* event = GetPointer<WinEvent>(srb + reset::kPostProc)) event->Set();
    return SS_COMP;
}

}  // namespace dravik::platform::aspi
