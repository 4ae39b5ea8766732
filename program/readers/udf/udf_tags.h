// Descriptor tags: the checks every UDF descriptor must pass before its
// fields are believed.
#pragma once

#include <cstdint>

namespace dravik::readers::udf {

// Why a tag is refused (0: it is good).
constexpr int kTagGood = 0;
constexpr int kTagBadVersion = 10;    // descriptor version not 1, 2 or 3
constexpr int kTagBadReserved = 11;   // byte 5 not 0
constexpr int kTagBadCrcLength = 12;  // descriptor CRC length past a block
constexpr int kTagBadChecksum = 13;   // tag checksum wrong

// The tag checksum: the sum modulo 256 of bytes 0-3 and 5-15.
std::uint8_t TagChecksum(const std::uint8_t* descriptor);
// The first problem of the 16-byte tag at `descriptor`; the checksum is
// left out when `checkChecksum` is false. The descriptor CRC is never
// checked (packet-writing software leaves it wrong).
int TagProblem(const std::uint8_t* descriptor, bool checkChecksum);

}  // namespace dravik::readers::udf
