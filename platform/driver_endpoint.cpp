// Which driver answers to a name, and whether it is present.
#include "platform/driver_endpoint.h"

#include <strings.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/win_errors.h"

namespace dravik::platform {

std::shared_ptr<DriverEndpoint> KernelDriverEndpoint();
std::shared_ptr<DriverEndpoint> VxdEndpoint();

namespace {

bool TurnedOff(const char* variable) {
    const char* value = std::getenv(variable);
    return value && ::strcasecmp(value, "off") == 0;
}

}  // namespace

std::shared_ptr<DriverEndpoint> OpenDriverEndpoint(const std::string& name) {
    if (::strcasecmp(name.c_str(), "ZOLTDACC") == 0 && !TurnedOff("DRAVIK_KERNEL_DRIVER"))
        return KernelDriverEndpoint();
    // Windows 9x loads the VxD from the file of that name in the current
    // folder; without the file there is no VxD.
    if (::strcasecmp(name.c_str(), "ZOLTVXD.VXD") == 0 && !TurnedOff("DRAVIK_VXD") &&
        ::access("ZOLTVXD.VXD", F_OK) == 0)
        return VxdEndpoint();
    SetLastError(kErrorFileNotFound);
    return nullptr;
}

std::string NtDeviceName(size_t index) { return "\\Device\\CdRom" + std::to_string(index); }

bool Overlapped::Finish(bool wait) {
    if (!worker.joinable()) return true;
    if (!wait && event && !event->IsSet()) return false;
    worker.join();
    return true;
}

}  // namespace dravik::platform
