// SPTIIntf: the transport of the NT family. It opens a drive through its
// letter ("\\.\X:") and sends each command as one pass-through record with
// IOCTL_SCSI_PASS_THROUGH_DIRECT (platform/win_device_io.h).
#pragma once

#include <cstdint>
#include <string>

#include "device/transport/device_intf.h"
#include "platform/win_device_io.h"

namespace dravik::device {

inline constexpr uint32_t kPassThroughTimeoutSeconds = 30;
inline constexpr uint32_t kPassThroughLongTimeoutSeconds = 180;

class SPTIIntf : public DeviceIntf {
public:
    SPTIIntf() = default;
    SPTIIntf(const SPTIIntf& other);
    SPTIIntf& operator=(const SPTIIntf&) = delete;
    ~SPTIIntf() override;

    void Shutdown() override {}
    DeviceIntf* Clone() const override;
    bool WinVolume(int) override { return false; }
    bool Execute(DevRequest* request, bool interpret) override;
    std::string GetVersion() override { return "SPT 1.1"; }
    const char* GetDeviceId() override;
    bool ResetDevice() override { return false; }
    bool FirstDevice() override;
    bool NextDevice() override;
    bool TestUnitReady(DevRequest* request, bool retry) override;
    bool CloseDevice() override;
    bool OpenDevice() override;

    platform::WinHandle Handle() const { return handle_; }
    bool FoundByScan() const { return foundByScan_; }
    int DriveType() const { return driveType_; }

private:
    // Reopens the handle of a device found by a scan; false (with sense
    // 0xFE/0x05/0x00 in the request) when that fails.
    bool EnsureOpen(DevRequest* request);

    platform::WinHandle handle_ = platform::kInvalidHandle;
    bool foundByScan_ = false;
    int driveType_ = 0;
};

// The library-wide start (true on the NT platform only) and the maker of
// the prototype.
bool StartSPTIIntf(ResourceModule resourceModule, MessageCallback messageCallback);
DeviceIntf* CreateSPTIIntf();

// The walk over drive letters: moves `letter` to the next one after it
// (from 'C' when it is 0) that names a CD-ROM drive of its own, with its
// drive type and the target of its DOS-device name (empty when the system
// does not answer). False past 'Z'.
bool NextCdromLetter(uint8_t& letter, int& driveType, std::string& target);

// The 80-byte pass-through record Execute sends for `request` (its buffer
// stands for the buffer token `bufferToken`), and the one TestUnitReady
// sends.
void BuildPassThroughRecord(const DevRequest& request, uint32_t bufferToken, uint8_t* record);
void BuildTestUnitReadyRecord(uint8_t* record);

}  // namespace dravik::device
