// State the device library keeps once per loaded library: the language
// module handed to Initialize, the library's own module, and the transport
// prototype that every new CDDevice clones. Written only by Initialize,
// Terminate and the library entry point, on the program's main thread.
#pragma once

#include "device/device_callbacks.h"

namespace dravik::device {

class DeviceIntf;

struct LibraryState {
    ResourceModule resourceModule = nullptr;
    // Base address of the module that holds the library's code, stored by
    // the entry point of libzoltdev.so; null when the library is linked
    // into a program, which then counts as the module.
    const void* ownModule = nullptr;
    DeviceIntf* prototype = nullptr;  // owned from Initialize to Terminate
};

LibraryState& Library();

}  // namespace dravik::device
