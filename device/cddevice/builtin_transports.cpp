// The transports built into the library, in the kinds Initialize tries.
//
// The kernel driver is left out: no such driver exists on this platform,
// and its start would tell the user on every run to restart the computer
// to load it (message 3015). Initialize still logs its attempt and moves
// on. The VxD start fails quietly outside the 9x family; its objects are
// not built.
#include "device/cddevice/transport_choice.h"
#include "device/transport/aspi_intf.h"
#include "device/transport/driver_starts.h"
#include "device/transport/spti_intf.h"

namespace dravik::device {

const TransportStarters& BuiltInTransports() {
    static const TransportStarters starters = [] {
        TransportStarters table;
        table.passThrough = {&StartSPTIIntf, &CreateSPTIIntf};
        table.vxd = {&StartVXDIntf, nullptr};
        table.aspi = {&StartASPIIntf, &CreateASPIIntf};
        return table;
    }();
    return starters;
}

}  // namespace dravik::device
