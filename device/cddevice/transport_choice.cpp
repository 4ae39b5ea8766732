#include "device/cddevice/transport_choice.h"

namespace dravik::device {

namespace {
const TransportStarters* testStarters = nullptr;
}  // namespace

const TransportStarters& ActiveTransports() {
    return testStarters ? *testStarters : BuiltInTransports();
}

void SetTransportStartersForTesting(const TransportStarters* starters) { testStarters = starters; }

}  // namespace dravik::device
