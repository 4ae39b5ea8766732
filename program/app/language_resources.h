// The resources of the loaded language module beyond its numbered texts:
// dialog layouts, menus and the accelerator table, by file name (see
// langres/shell_resources.h), and the module handle the device library
// reads its texts from.
#pragma once

#include <string>

namespace dravik::app {

// The resource's text; empty when the module is not loaded or lacks it.
std::string LanguageResource(const char* name);

// The dlopen handle of the loaded module (not a new reference); null when
// none is loaded.
void* LanguageModuleHandle();

}  // namespace dravik::app
