#include "program/port/shell_port.h"

#include <atomic>

namespace dravik::port {

namespace {
std::atomic<ShellPort*> g_port{nullptr};
}

void InstallShellPort(ShellPort* port) { g_port = port; }
ShellPort* InstalledShellPort() { return g_port; }

}  // namespace dravik::port
