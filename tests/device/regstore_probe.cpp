// A program linked without version information. The settings store must
// refuse to open a key in it (it has no company name to name the key by).
// Exit code 0: refused as it should; 1: a key was opened; 2: the program
// was found to carry version information after all.
#include <cstdio>

#include "device/regstore/registry_store.h"
#include "platform/version_info.h"

int main() {
    if (dravik::platform::MainProgramVersionInfo() != nullptr) return 2;
    RegistryStore store;
    bool opened = store.Open("Dravik") || store.Open(".DeviceIntf");
    std::printf("opened: %d\n", opened ? 1 : 0);
    return opened ? 1 : 0;
}
