// The version information of the module that holds the device library:
// libzoltdev.so when the library is loaded as itself, else the program it
// is linked into.
#pragma once

#include <string>

namespace dravik::device {

// Base address of the module holding this code, for the library entry point.
const void* ThisModuleBase();

// The ProductVersion of the module at `moduleBase` (null: the module
// holding this code); false when the module carries no version
// information.
bool ModuleProductVersion(const void* moduleBase, std::string& version);

}  // namespace dravik::device
