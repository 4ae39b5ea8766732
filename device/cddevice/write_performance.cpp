// Write speeds that the feature walk asks for when the drive reports them:
// GET PERFORMANCE (logged) and the write speed descriptors of page 0x2A
// (stored in the device record).
#include <algorithm>
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {
constexpr uint32_t kPerformanceBytes = 2048;
constexpr int kCapabilitiesBytes = 2048;
}  // namespace

void CDDevice::GetWritePerformance() {
    unsigned char* reply = workBuffer_.get();
    std::memset(reply, 0, kPerformanceBytes);
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = reply;
    request.dataLength = kPerformanceBytes;
    request.cdbLength = 12;
    request.cdb[0] = scsi::kGetPerformance;
    request.cdb[1] = 0x03;
    request.cdb[9] = 0x7F;  // up to 127 descriptors
    if (!Send(request)) {
        TakeSense(request);
        return;
    }
    const uint32_t moved = std::min<uint32_t>(request.dataLength, kPerformanceBytes);
    const uint32_t length = std::min<uint32_t>(bytes::GetBe32(reply) + 4, moved);
    cmd::Dump(*this, reply, static_cast<int>(length), "Performance data");
    if (length >= 24) cmd::Log(*this, 1, "GetPerformance returned Write speed of %d", static_cast<int>(bytes::GetBe32(reply + 20)));
}

bool CDDevice::SetSpeedFromCapabilities() {
    unsigned char discInfo[32];
    const bool erasable = ReadCDRWInfo(discInfo, 0) && (discInfo[2] & 0x10) != 0;
    unsigned char* answer = workBuffer_.get();
    int length = kCapabilitiesBytes, pageOffset = 0;
    if (!ModeSenseCommand(0x2A, answer, &length, &pageOffset)) return false;
    // The mode data as far as the drive said and the buffer holds.
    const int modeEnd = deviceRecord_->IsMode10() ? static_cast<int>(bytes::GetBe16(answer)) + 2 : answer[0] + 1;
    const int end = std::min(modeEnd, kCapabilitiesBytes);
    if (pageOffset + 2 > end) return false;
    const unsigned char* page = answer + pageOffset;
    if (page[1] <= 30) return false;
    const int pageEnd = std::min(end, pageOffset + page[1] + 2);
    if (pageOffset + 32 > pageEnd) return false;
    const int count = static_cast<int16_t>(bytes::GetBe16(page + 30));
    if (count <= 0) return true;
    for (int i = 0; i < count && pageOffset + 32 + 4 * i + 4 <= pageEnd; ++i) {
        const int speed = static_cast<int>(bytes::GetBe16(page + 32 + 4 * i + 2));
        if (dvdDisc_) {
            deviceRecord_->SetDVDWriteSpeed(speed, dvdPlusDisc_);
        } else {
            deviceRecord_->SetDeviceWriteSpeed((speed * 100 + 15000) / 17648, erasable);
        }
    }
    return true;
}

}  // namespace dravik::device
