// VXDIntf: the transport of the Windows 9x family, over the virtual device
// driver "ZOLTVXD.VXD" (platform/driver_endpoint.h). The VxD lists the
// devices by index; each command is one overlapped request that the VxD
// completes through the object's own event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/transport/device_intf.h"
#include "platform/win_event.h"

namespace dravik::device {

class VXDIntf : public DeviceIntf {
public:
    VXDIntf();
    VXDIntf(const VXDIntf& other);
    VXDIntf& operator=(const VXDIntf&) = delete;
    ~VXDIntf() override = default;

    void Shutdown() override;
    DeviceIntf* Clone() const override;
    bool WinVolume(int) override { return false; }
    bool Execute(DevRequest* request, bool interpret) override;
    std::string GetVersion() override;
    const char* GetDeviceId() override;
    bool ResetDevice() override { return false; }
    bool FirstDevice() override;
    bool NextDevice() override;
    bool TestUnitReady(DevRequest* request, bool retry) override;
    bool CloseDevice() override { return true; }
    bool OpenDevice() override { return true; }

    int DeviceIndex() const { return deviceIndex_; }

private:
    std::unique_ptr<platform::WinEvent> completion_;
    int deviceIndex_ = -1;
    uint8_t address_[2] = {};  // bytes 1 and 2 of the VxD's device record
};

// The library-wide start: only on the 9x family; finds ZOLTVXD.VXD through
// the "Shared" value of the ".DeviceIntf" key or beside the program and
// opens it; message 3013 for a failure other than a missing file.
bool StartVXDIntf(ResourceModule resourceModule, MessageCallback messageCallback);
DeviceIntf* CreateVXDIntf();

}  // namespace dravik::device
