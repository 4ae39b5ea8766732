// The transports CDDevice::Initialize may start, each as its library-wide
// start function and a maker of its prototype. The order of the attempts
// and their log lines belong to Initialize; this table only says what each
// kind is. Tests put their own table in place (device/test_seams.h) to
// drive every path.
#pragma once

#include "device/device_callbacks.h"

namespace dravik::device {

class DeviceIntf;

struct TransportStarter {
    bool (*start)(ResourceModule resourceModule, MessageCallback log) = nullptr;  // null: never starts
    DeviceIntf* (*create)() = nullptr;  // null: this kind's objects are not built
};

struct TransportStarters {
    TransportStarter kernelDriver;  // ZOLTDACC
    TransportStarter passThrough;   // SPTIIntf
    TransportStarter vxd;           // ZOLTVXD
    TransportStarter aspi;          // ASPIIntf
};

// The transports built into the library.
const TransportStarters& BuiltInTransports();

// The table Initialize uses: the built-in one unless a test replaced it.
const TransportStarters& ActiveTransports();

}  // namespace dravik::device
