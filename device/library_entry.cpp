// Load of libzoltdev.so: the library notes its own module, whose version
// information GetIntfVersion shows. The unload work (stopping a transport
// the program left running) is an exit handler that the first
// CDDevice::Initialize registers in this module; see cddevice_startup.cpp
// for why it is not a destructor function here.
#include "device/cddevice/library_state.h"
#include "device/cddevice/module_version.h"

namespace {

__attribute__((constructor)) void LibraryAttach() {
    dravik::device::Library().ownModule = dravik::device::ThisModuleBase();
}

}  // namespace
