// The virtual allocation table of write-once packet-written volumes is not
// read by this reader yet: no VAT is ever loaded, so the probe treats such a
// volume as one whose VAT is lost (the ISO side takes over where there is
// one; otherwise the tree is marked in error). This file goes when the VAT
// reader arrives.
#include "program/readers/udf/udf_reader.h"

namespace dravik::readers::udf {

bool ReadVat(UdfState&, std::uint8_t*, bool) { return false; }

}  // namespace dravik::readers::udf
