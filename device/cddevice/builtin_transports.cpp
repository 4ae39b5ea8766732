// The transports built into the library, in the kinds Initialize tries.
#include "device/cddevice/transport_choice.h"
#include "device/transport/aspi_intf.h"

namespace dravik::device {

const TransportStarters& BuiltInTransports() {
    static const TransportStarters starters = [] {
        TransportStarters table;
        table.aspi = {&StartASPIIntf, &CreateASPIIntf};
        return table;
    }();
    return starters;
}

}  // namespace dravik::device
