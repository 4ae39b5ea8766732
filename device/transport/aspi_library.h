// The library-wide state of the ASPI transport: the loaded ASPI manager
// module, its two entry points, its host adapter count and the language
// module the texts 3000-3003 come from.
#pragma once

#include <string>

#include "device/device_callbacks.h"
#include "platform/aspi_srb.h"

namespace dravik::device {

struct AspiLibrary {
    void* module = nullptr;
    platform::aspi::GetSupportInfoFunction getSupportInfo = nullptr;
    platform::aspi::SendCommandFunction sendCommand = nullptr;
    int adapterCount = 0;
    ResourceModule instance = nullptr;
};

AspiLibrary& Aspi();

// Sends a request block through the loaded module; SS_NO_ASPI when none is.
uint32_t SendAspiCommand(void* srb);

// "<file name> - a.b.c.d" of the loaded module, or "*** Unknown ***".
std::string AspiModuleVersion();

void ShutdownAspi();

}  // namespace dravik::device
