#include "program/scan/scan_device.h"

#include <atomic>

namespace dravik::scan {

namespace {
std::atomic<device::CDDevice*> g_selected{nullptr};
}

device::CDDevice* SelectedDevice() { return g_selected.load(); }
void SetSelectedDevice(device::CDDevice* device) { g_selected.store(device); }

}  // namespace dravik::scan
