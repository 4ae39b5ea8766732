// ASPIIntf: the transport through an ASPI manager module (on Linux
// libwnaspi32.so, see aspi_library.cpp). Drives are addressed as host
// adapter, target and LUN 0; every SCSI command is one SC_EXEC_SCSI_CMD
// request block that completes through the object's own event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/transport/device_intf.h"
#include "platform/win_event.h"

namespace dravik::device {

class ASPIIntf : public DeviceIntf {
public:
    ASPIIntf();
    ASPIIntf(const ASPIIntf& other);
    ASPIIntf& operator=(const ASPIIntf&) = delete;
    ~ASPIIntf() override;

    void Shutdown() override;
    DeviceIntf* Clone() const override;
    bool WinVolume(int action) override;
    bool Execute(DevRequest* request, bool interpret) override;
    std::string GetVersion() override;
    const char* GetDeviceId() override;
    bool ResetDevice() override;
    bool FirstDevice() override;
    bool NextDevice() override;
    bool TestUnitReady(DevRequest* request, bool retry) override;
    bool CloseDevice() override;
    bool OpenDevice() override;

    int HostAdapter() const { return hostAdapter_; }
    int Target() const { return target_; }
    bool TimeoutsSet() const { return timeoutsSet_; }
    bool TimeoutsUnsupported() const { return timeoutsUnsupported_; }

private:
    void SetTimeouts();
    // Next target, or target 0 of the next adapter not bypassed in `mask`;
    // false when no adapter is left.
    bool AdvanceAddress(uint32_t mask);
    int TargetsOfAdapter(int adapter);

    std::unique_ptr<platform::WinEvent> completion_;
    bool timeoutsUnsupported_ = false;
    bool timeoutsSet_ = false;
    int hostAdapter_ = -1;
    int target_ = -1;
    int lun_ = 0;
};

// The library-wide start of the ASPI transport (load the module, ask for
// its support information) and the maker of its prototype.
bool StartASPIIntf(ResourceModule resourceModule, MessageCallback messageCallback);
DeviceIntf* CreateASPIIntf();

}  // namespace dravik::device
