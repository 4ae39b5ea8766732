// Fixed-format sense data into a request, the same in every transport.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/request/dev_request.h"

namespace dravik::device {

// Sense key = byte 2 as received, ASC = byte 12, ASCQ = byte 13; the sense
// information is the sense-key-specific field (bytes 16-17) when byte 15
// bit 7 says it is valid, else the information field (bytes 3-6,
// big-endian) when byte 0 bit 7 says so, else 0. Only the first `length`
// bytes are read; bytes past them count as zero (the ASPI block's sense
// area holds 16 bytes, shorter than the sense-key-specific field reaches).
void ExtractSense(const uint8_t* sense, size_t length, DevRequest* request);

// A failure the system reported rather than the drive: sense key 0xFE and
// the error code's low two bytes as ASC and ASCQ (0xFE/0x05/0x00 is the
// device that could not be opened again).
void SetSystemErrorSense(DevRequest* request, uint32_t error);

}  // namespace dravik::device
