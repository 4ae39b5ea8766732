// Load and unload of libzoltdev.so: on load the library notes its own
// module (whose version information GetIntfVersion shows); on unload it
// stops a transport the program left running.
#include "device/cddevice/cddevice.h"
#include "device/cddevice/library_state.h"
#include "device/cddevice/module_version.h"

namespace {

__attribute__((constructor)) void LibraryAttach() {
    dravik::device::Library().ownModule = dravik::device::ThisModuleBase();
}

__attribute__((destructor)) void LibraryDetach() {
    if (dravik::device::Library().prototype != nullptr) dravik::device::CDDevice::Terminate();
}

}  // namespace
