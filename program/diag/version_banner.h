// The two lines that open each scan's part of the debug log, and the
// version query of a loaded module.
#pragma once

#include <string>

namespace dravik::diag {

// The product version of the main program's version information; empty
// when the program carries none.
std::string ProgramVersionText();

// A front end with a widget toolkit reports its name and version here
// ("Qt 6.4.2"); empty means none is loaded (the headless build).
void SetWidgetToolkitVersion(std::string text);

// Writes, without time stamps, "Program Version: <version>" and the widget
// toolkit line, as one log entry.
void WriteVersionBanner();

// Loads the shared library `name`, calls its "DllGetVersion" with a 20-byte
// version record (size field set) and returns major * 65536 + minor; 0 when
// the library cannot be loaded, has no such export or the call fails. The
// library is unloaded again.
unsigned long GetDllVersion(const char* name);

}  // namespace dravik::diag
