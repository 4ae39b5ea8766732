// The MMC configuration: the current profile and the disc-type flags it
// implies, and the walk over the feature descriptors (Mount Rainier, DVD
// write support, the logical unit serial number, write speed reporting).
#include <algorithm>
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr uint32_t kConfigurationBytes = 2048;
constexpr int kMaxFeatureRequests = 10;
constexpr uint32_t kHeaderBytes = 8;
constexpr size_t kMaxSerialChars = 32;

constexpr uint16_t kFeatureMrw = 0x0028;
constexpr uint16_t kFeatureDvdPlusRw = 0x002A;
constexpr uint16_t kFeatureRigidOverwrite = 0x002C;
constexpr uint16_t kFeatureDvdMinusWrite = 0x002F;
constexpr uint16_t kFeatureRealTimeStreaming = 0x0107;
constexpr uint16_t kFeatureSerialNumber = 0x0108;

void BuildRequest(DevRequest& request, unsigned char* buffer, uint8_t requestType, uint16_t startingFeature) {
    request.direction = kRequestDataIn;
    request.buffer = buffer;
    request.dataLength = kConfigurationBytes;
    request.cdbLength = 10;
    request.cdb[0] = scsi::kGetConfiguration;
    request.cdb[1] = requestType;
    bytes::PutBe16(request.cdb + 2, startingFeature);
    bytes::PutBe16(request.cdb + 7, kConfigurationBytes);
}

}  // namespace

int CDDevice::GetCurrentConfiguration() {
    unsigned char* reply = workBuffer_.get();
    std::memset(reply, 0, kConfigurationBytes);
    DevRequest request(this);
    BuildRequest(request, reply, 1, 0);
    if (!Send(request)) {
        TakeSense(request);
        return 0;
    }
    // Without the whole header there is no profile to trust.
    if (!CheckReplyLength(request, kConfigurationBytes, bytes::GetBe32(reply) + 4, kHeaderBytes)) return 0;
    const int profile = static_cast<int>(bytes::GetBe16(reply + 6));
    const bool dvdMinus = profile >= 0x0010 && profile <= 0x0014;
    const bool dvdPlus = profile == 0x001A || profile == 0x001B;
    dvdDisc_ = dvdMinus || dvdPlus;
    dvdMinusDisc_ = dvdMinus;
    dvdRW_ = profile == 0x0013 || profile == 0x0014;
    dvdPlusDisc_ = dvdPlus;
    dvdPlusR_ = profile == 0x001B;
    return profile;
}

bool CDDevice::GetFeatures() {
    mrw_ = false;
    GetCurrentConfiguration();
    unsigned char* reply = workBuffer_.get();
    int startingFeature = 0;
    int realTimeStreaming = 0;
    for (int requests = 0; requests < kMaxFeatureRequests; ++requests) {
        std::memset(reply, 0, kConfigurationBytes);
        DevRequest request(this);
        BuildRequest(request, reply, 0, static_cast<uint16_t>(startingFeature));
        if (!Send(request)) {
            TakeSense(request);
            return false;
        }
        const uint32_t dataLength = bytes::GetBe32(reply);
        if (dataLength == 0) return false;
        if (!CheckReplyLength(request, kConfigurationBytes, dataLength + 4, kHeaderBytes)) return false;
        if (dataLength + 4 <= kHeaderBytes) break;  // no descriptors
        // Only what the drive claims, moved and the buffer holds is read.
        uint32_t end = std::min<uint32_t>(dataLength + 4, kConfigurationBytes);
        end = std::min<uint32_t>(end, std::max<uint32_t>(request.dataLength, kHeaderBytes));
        for (uint32_t at = kHeaderBytes; at + 4 <= end;) {
            const unsigned char* descriptor = reply + at;
            const uint32_t size = descriptor[3] + 4u;
            if (at + size > end) break;  // a descriptor cut off by the end of the reply
            const uint16_t code = static_cast<uint16_t>(bytes::GetBe16(descriptor));
            switch (code) {
            case kFeatureMrw:
                deviceRecord_->SetMRWSupport(true);
                if (descriptor[2] & 0x01) mrw_ = true;
                break;
            case kFeatureDvdPlusRw: deviceRecord_->SetPlusRWSupport(true); break;
            case kFeatureRigidOverwrite:
            case kFeatureDvdMinusWrite: deviceRecord_->SetMinusRWSupport(true); break;
            case kFeatureRealTimeStreaming:
                if (size > 4) realTimeStreaming = descriptor[4];
                break;
            case kFeatureSerialNumber: {
                size_t count = std::min<size_t>(descriptor[3], kMaxSerialChars);
                while (count > 0 && descriptor[4 + count - 1] == ' ') --count;
                std::memcpy(serialNumber_, descriptor + 4, count);
                serialNumber_[count] = '\0';
                break;
            }
            default: break;
            }
            if (static_cast<int16_t>(code) > 0) startingFeature = code + 1;
            at += size;
        }
        if (startingFeature == 0) return false;
    }
    if (realTimeStreaming & 0x02) GetWritePerformance();
    if (realTimeStreaming & 0x04) SetSpeedFromCapabilities();
    return true;
}

}  // namespace dravik::device
