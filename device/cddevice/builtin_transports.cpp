// The transports built into the library, in the kinds Initialize tries.
// The kernel driver and the VxD are the platform layer's stand-ins
// (platform/driver_endpoint.h); each start fails as on a machine without
// the driver when its stand-in is turned off, and Initialize moves on.
#include "device/cddevice/transport_choice.h"
#include "device/transport/aspi_intf.h"
#include "device/transport/dacc_intf.h"
#include "device/transport/spti_intf.h"
#include "device/transport/vxd_intf.h"

namespace dravik::device {

const TransportStarters& BuiltInTransports() {
    static const TransportStarters starters = [] {
        TransportStarters table;
        table.kernelDriver = {&StartDACCIntf, &CreateDACCIntf};
        table.passThrough = {&StartSPTIIntf, &CreateSPTIIntf};
        table.vxd = {&StartVXDIntf, &CreateVXDIntf};
        table.aspi = {&StartASPIIntf, &CreateASPIIntf};
        return table;
    }();
    return starters;
}

}  // namespace dravik::device
