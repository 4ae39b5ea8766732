// The transports built into the library. None is linked in yet: every
// attempt fails and Initialize reports that no transport started.
#include "device/cddevice/transport_choice.h"

namespace dravik::device {

const TransportStarters& BuiltInTransports() {
    static const TransportStarters starters{};
    return starters;
}

}  // namespace dravik::device
