// Which family of Windows the device library believes it runs on. Linux
// stands for the NT family (its transports are the NT ones) unless the
// environment value DRAVIK_SYSTEM=win9x makes it the 9x family, whose
// transports are the VxD and ASPI.
#pragma once

namespace dravik::platform {

bool SystemIsWindows9x();

}  // namespace dravik::platform
