#include "platform/wnaspi32/aspi_manager.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/aspi_srb.h"
#include "platform/drive_source.h"
#include "platform/byte_order.h"
#include "platform/scsi_drive.h"

namespace dravik::platform::aspi {
namespace {

constexpr uint8_t kAllUnits = 0xFF;

struct TimeoutTable {
    std::mutex mutex;
    std::map<std::pair<int, int>, uint32_t> halfSeconds;  // (adapter, target); 0xFF = all
};

// Never destroyed: worker threads may still ask for it at process exit.
TimeoutTable& timeoutTable() {
    static auto* table = new TimeoutTable;
    return *table;
}

int AdapterCount(const DriveList& drives) {
    return static_cast<int>((drives.size() + kDrivesPerAdapter - 1) / kDrivesPerAdapter);
}

void PutText(uint8_t* at, const char* text) {
    std::memset(at, ' ', 16);
    std::memcpy(at, text, std::min<size_t>(std::strlen(text), 16));
}

uint32_t Finish(uint8_t* srb, uint8_t status) {
    srb[kStatus] = status;
    return status;
}

uint32_t HostAdapterInquiry(uint8_t* srb) {
    const int count = AdapterCount(ListDrivesOfProcess());
    if (srb[kHaId] >= count) return Finish(srb, SS_INVALID_HA);
    srb[ha_inquiry::kHaCount] = static_cast<uint8_t>(count);
    srb[ha_inquiry::kHaScsiId] = 7;
    PutText(srb + ha_inquiry::kManagerId, "ASPI for WIN32");
    PutText(srb + ha_inquiry::kIdentifier, "DRAVIK DRIVES");
    uint8_t* unique = srb + ha_inquiry::kUnique;
    std::memset(unique, 0, 16);
    unique[2] = 0x02;  // residual byte counts supported
    unique[3] = kTargetsReported;
    bytes::PutLe32(unique + 4, kMaxTransferBytes);
    return Finish(srb, SS_COMP);
}

uint32_t GetDeviceType(uint8_t* srb) {
    const DriveList drives = ListDrivesOfProcess();
    const int adapter = srb[kHaId];
    const int target = srb[dev_block::kTarget];
    if (adapter >= AdapterCount(drives)) return Finish(srb, SS_INVALID_HA);
    const size_t index = static_cast<size_t>(adapter) * kDrivesPerAdapter + target;
    if (target >= kDrivesPerAdapter || srb[dev_block::kLun] != 0 || index >= drives.size())
        return Finish(srb, SS_NO_DEVICE);
    // The peripheral type comes from the drive's own INQUIRY answer.
    uint8_t cdb[6] = {0x12, 0, 0, 0, 36, 0};
    uint8_t answer[36] = {};
    ScsiRequest request;
    request.cdb = cdb;
    request.cdbLength = sizeof cdb;
    request.direction = DataDirection::kIn;
    request.data = answer;
    request.dataLength = sizeof answer;
    request.timeoutMs = TargetTimeoutMs(adapter, target);
    if (!drives[index].drive->Execute(request).Good()) return Finish(srb, SS_NO_DEVICE);
    srb[dev_block::kDeviceType] = answer[0] & 0x1F;
    return Finish(srb, SS_COMP);
}

uint32_t GetSetTimeouts(uint8_t* srb) {
    auto& table = timeoutTable();
    const std::pair<int, int> key{srb[kHaId], srb[timeouts::kTarget]};
    std::lock_guard lock(table.mutex);
    if (srb[kFlags] & SRB_DIR_OUT) {
        if (key.first == kAllUnits) table.halfSeconds.clear();
        table.halfSeconds[key] = bytes::GetLe32(srb + timeouts::kTimeout);
        return Finish(srb, SS_COMP);
    }
    if (srb[kFlags] & SRB_DIR_IN) {
        auto it = table.halfSeconds.find(key);
        bytes::PutLe32(srb + timeouts::kTimeout, it == table.halfSeconds.end() ? kDefaultTimeoutMs / 500 : it->second);
        return Finish(srb, SS_COMP);
    }
    return Finish(srb, SS_INVALID_SRB);
}

}  // namespace

uint32_t TargetTimeoutMs(int adapter, int target) {
    auto& table = timeoutTable();
    std::lock_guard lock(table.mutex);
    for (auto key : {std::pair<int, int>{adapter, target}, std::pair<int, int>{adapter, kAllUnits},
                     std::pair<int, int>{kAllUnits, kAllUnits}}) {
        auto it = table.halfSeconds.find(key);
        if (it != table.halfSeconds.end() && it->second != 0) return it->second * 500;
    }
    return kDefaultTimeoutMs;
}

uint32_t SupportInfo() {
    const int count = AdapterCount(ListDrivesOfProcess());
    if (count == 0) return uint32_t{SS_NO_ADAPTERS} << 8;
    return (uint32_t{SS_COMP} << 8) | static_cast<uint8_t>(count);
}

uint32_t SendCommand(uint8_t* srb) {
    if (!srb) return SS_INVALID_SRB;
    switch (srb[kCmd]) {
    case SC_HA_INQUIRY: return HostAdapterInquiry(srb);
    case SC_GET_DEV_TYPE: return GetDeviceType(srb);
    case SC_EXEC_SCSI_CMD: return ExecuteScsiCommand(srb);
    case SC_ABORT_SRB: return AbortRequest(srb);
    case SC_RESET_DEV: return ResetTarget(srb);
    case SC_GETSET_TIMEOUTS: return GetSetTimeouts(srb);
    default: return Finish(srb, SS_INVALID_CMD);
    }
}

}  // namespace dravik::platform::aspi
