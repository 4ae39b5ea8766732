#include "device/cddevice/transport_choice.h"

#include "device/test_seams.h"

namespace dravik::device {

namespace {
const TransportStarters* testStarters = nullptr;
}  // namespace

const TransportStarters& ActiveTransports() {
    return testStarters ? *testStarters : BuiltInTransports();
}

void test_seams::SetTransportStarters(const TransportStarters* starters) { testStarters = starters; }

}  // namespace dravik::device
