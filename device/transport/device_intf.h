// The abstract transport: every SCSI/MMC command the device library sends,
// and every walk over the drives, goes through one DeviceIntf. Each
// CDDevice owns its own copy (Clone) of the library-wide prototype that
// CDDevice::Initialize chose.
#pragma once

#include <cstdint>
#include <string>

#include "device/device_callbacks.h"
#include "device/request/dev_request.h"

namespace dravik::device {

// The registry key (under the program's key) of the transport settings.
inline constexpr char kDeviceIntfKey[] = ".DeviceIntf";

class DeviceIntf {
public:
    DeviceIntf() = default;
    DeviceIntf(const DeviceIntf&) = default;
    DeviceIntf& operator=(const DeviceIntf&) = default;

    // Slots in their fixed order; slot 0 is the destructor.
    virtual ~DeviceIntf() = default;
    virtual void Shutdown() = 0;                            // 1: library-wide resources
    virtual DeviceIntf* Clone() const = 0;                  // 2: null when memory runs out
    virtual bool WinVolume(int action) = 0;                 // 3
    virtual bool Execute(DevRequest* request, bool interpret) = 0;  // 4
    virtual std::string GetVersion() = 0;                   // 5
    virtual const char* GetDeviceId() = 0;                  // 6: transport-wide static buffer
    virtual bool ResetDevice() = 0;                         // 7
    virtual bool FirstDevice() = 0;                         // 8
    virtual bool NextDevice() = 0;                          // 9
    virtual bool TestUnitReady(DevRequest* request, bool retry) = 0;  // 10
    virtual bool CloseDevice() = 0;                         // 11
    virtual bool OpenDevice() = 0;                          // 12

    // Fields every transport shares, copied in by the owning CDDevice.
    int debugLevel = 0;                    // 0 silent, >0 ordinary lines, >1 per-command lines
    MessageCallback messageCallback = nullptr;
    DebugCallback debugCallback = nullptr;
    uint8_t deviceType = 255;              // SCSI peripheral type of the current device; 255 = none
    uint8_t driveLetter = 255;             // for the transports that address drives by letter; 255 = none
};

}  // namespace dravik::device
