// DACCIntf: the transport over the kernel-mode driver "\\.\ZOLTDACC". It
// finds drives by letter as the pass-through transport does, opens each
// through the driver by its NT device name, and relays every command to
// the driver as a pass-through record (platform/driver_endpoint.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/transport/device_intf.h"

namespace dravik::device {

// Commands whose data fits go through the object's own transfer buffer.
inline constexpr uint32_t kDaccStagedBytes = 2048;
inline constexpr uint32_t kDaccTransferBytes = 4096;
inline constexpr uint32_t kDaccClosedValue = 0xFFFFFFFFu;

class DACCIntf : public DeviceIntf {
public:
    DACCIntf();
    DACCIntf(const DACCIntf& other);
    DACCIntf& operator=(const DACCIntf&) = delete;
    ~DACCIntf() override;

    void Shutdown() override {}
    DeviceIntf* Clone() const override;
    bool WinVolume(int action) override;
    bool Execute(DevRequest* request, bool interpret) override;
    std::string GetVersion() override;
    const char* GetDeviceId() override;
    bool ResetDevice() override { return false; }
    bool FirstDevice() override;
    bool NextDevice() override;
    bool TestUnitReady(DevRequest* request, bool retry) override;
    bool CloseDevice() override;
    bool OpenDevice() override;

    // The driver's value for the open device; kDaccClosedValue when closed.
    uint32_t HandleValue() const;
    const std::string& NtDeviceName() const { return ntName_; }

private:
    // The device as the driver opened it. An object and its clones share
    // it; the last owner to let go sends the driver its close. The value is
    // the driver's own number, not a handle of this process.
    struct OpenDeviceShare;

    bool EnsureOpen(DevRequest* request);
    // Sends the relay of `record` (80 bytes) with the inner control code.
    bool Relay(uint32_t innerCode, uint8_t* record);

    std::shared_ptr<OpenDeviceShare> device_;
    bool foundByScan_ = false;
    int driveType_ = 0;
    std::string ntName_;
    struct FreeBuffer {
        void operator()(uint8_t* buffer) const;
    };
    std::unique_ptr<uint8_t, FreeBuffer> transfer_;  // kDaccTransferBytes, page-aligned
};

// The library-wide start: opens "\\.\ZOLTDACC" once (never closed), only on
// the NT family; messages 3015 (not present) and 3014 (any other failure).
bool StartDACCIntf(ResourceModule resourceModule, MessageCallback messageCallback);
DeviceIntf* CreateDACCIntf();

}  // namespace dravik::device
