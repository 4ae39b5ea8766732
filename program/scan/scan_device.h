// The drive the scan reads: the program's selected device. The front end
// that owns the device object (the shell, the CLI, a test) hands it over
// before it starts a scan and takes it back only while no scan runs.
#pragma once

namespace dravik::device {
class CDDevice;
}

namespace dravik::scan {

device::CDDevice* SelectedDevice();
void SetSelectedDevice(device::CDDevice* device);

}  // namespace dravik::scan
