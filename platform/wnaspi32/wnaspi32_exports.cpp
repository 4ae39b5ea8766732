// The module's two entry points, under the names every ASPI client looks up.
#include <cstdint>

#include "platform/wnaspi32/aspi_manager.h"

#define WNASPI32_EXPORT extern "C" __attribute__((visibility("default")))

// Bits 8-15: status (SS_COMP, or SS_NO_ADAPTERS when there is no drive);
// bits 0-7: the number of host adapters.
WNASPI32_EXPORT uint32_t GetASPI32SupportInfo(void) { return dravik::platform::aspi::SupportInfo(); }

// Takes any of the request blocks of platform/aspi_srb.h. SCSI commands
// complete later on a worker thread (result SS_PENDING); the others at once.
WNASPI32_EXPORT uint32_t SendASPI32Command(void* srb) {
    return dravik::platform::aspi::SendCommand(static_cast<uint8_t*>(srb));
}
