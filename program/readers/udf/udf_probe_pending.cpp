// The UDF probe before the UDF reader is part of the program: no track is
// recognised as UDF. This file goes when the UDF reader arrives.
#include "program/readers/udf/udf_probe.h"

namespace dravik::readers {

bool ProbeUdf(scan::TrackNode*, std::uint8_t*) { return false; }

}  // namespace dravik::readers
