// The sparing table of a rewritable volume with a sparable partition: the
// packets that went bad while the disc was written and where their
// replacements lie. MapBlock looks every block of the sparable partition
// up in it.
#include <new>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/readers/udf/udf_reader.h"

namespace dravik::readers::udf {

bool ReadSparingTable(UdfState& state, std::uint8_t* buffer) {
    const ReadBlockFunction read = [&state](std::int64_t block, std::uint8_t* out) {
        return ReadBlock(state, block, out);
    };
    const auto logFailure = [&state](std::uint32_t location) {
        if (Verbose() && state.device)
            diag::DebugPrint("Error %02x %02x reading sparing table at block %d", state.device->GetSenseCode(),
                             state.device->GetSenseAddCode(), static_cast<int>(location));
    };
    try {
        QuietReads quiet(state);
        if (LoadSparingTable(state.map, read, logFailure) && Verbose()) {
            // The first block of the copy that was loaded.
            if (ReadBlock(state, state.map.sparingLoadedFrom, buffer))
                diag::DebugDump(buffer, 2048, "UDF Sparing table");
            diag::DebugPrint("Sparing table: %d entries, packets of %u blocks", static_cast<int>(state.map.sparing.size()),
                             state.map.packetLength);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace dravik::readers::udf
