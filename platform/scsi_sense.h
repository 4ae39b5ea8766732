// Sense data in the form the drive interface hands on: fixed format.
// Drives may answer in descriptor format (response codes 0x72/0x73); the
// key, codes, information and sense-key-specific bytes are moved to where
// fixed format (0x70/0x71) keeps them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravik::platform {

// Writes fixed-format sense for `in` (either format) into `out` (at most
// `outCapacity` bytes) and returns the bytes written; 0 when `in` holds no
// recognisable sense.
size_t NormalizeSense(const uint8_t* in, size_t inLength, uint8_t* out, size_t outCapacity);

}  // namespace dravik::platform
