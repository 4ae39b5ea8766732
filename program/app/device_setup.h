// How both front ends set up a device object of the device library: the
// program's message and debug callbacks, the debug level the switches ask
// for, and the device database shipped beside the program.
#pragma once

#include <string>

namespace dravik::device {
class CDDevice;
}

namespace dravik::app {

// "<program folder>/../Shared/ASPIDEV.DDB".
std::string DeviceDatabasePath();

// Gives a new device object the program's callbacks, debug level and
// device database. Without a readable database beside the program the
// drives are checked with the built-in defaults (and that is logged), so a
// damaged installation still reads discs.
void PrepareDevice(device::CDDevice& device);

}  // namespace dravik::app
