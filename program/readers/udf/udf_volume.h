// Volume recognition: the anchor, the volume descriptor sequences (main,
// then reserve) and the layouts guessed for packet-written discs whose
// descriptors were never written or are lost. What it learns goes into the
// probe's state (partition, volume map) and into VolumeFacts.
#pragma once

#include <cstdint>
#include <string>

#include "program/readers/udf/udf_reader.h"

namespace dravik::readers::udf {

struct VolumeFacts {
    std::string name;                  // volume name from the descriptors, or "Unknown"
    std::string implementation;        // primary volume descriptor's implementation identifier
    bool directCd = false;
    bool directCdCompressed = false;
    bool needsNoVat = false;           // read-only or overwritable partition
    std::int64_t lvdBlock = 0;         // where the logical volume descriptor was read
    std::uint32_t fsdLocation = 0;     // logical block
    std::uint32_t fsdReference = 1;    // partition reference of fsdLocation
    std::int64_t sequenceEnd = 0;      // first block after the descriptor sequence read
    std::uint32_t reserveLocation = 0;
};

enum class Recognition { kVolume, kNotUdf, kAborted, kOutOfMemory };

// Steps up to the partition's extent: finds the anchor, reads the
// descriptors or guesses the layout, cuts the partition at a following
// track, and shows the volume's status line.
Recognition RecogniseVolume(UdfState& state, std::uint8_t* buffer, VolumeFacts& facts);

// A partition start worked out from a descriptor found at `found` whose tag
// says it lies at logical block `tagLocation`; false (and nothing changed)
// when the start would be negative or past the track.
bool RebasePartition(UdfState& state, std::int64_t found, std::uint32_t tagLocation);

}  // namespace dravik::readers::udf
