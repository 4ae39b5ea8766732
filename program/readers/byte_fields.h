// Little- and big-endian fields of on-disc structures, read from a byte
// buffer one field at a time. The readers never cast a buffer to a struct;
// the caller has checked that the field lies inside its buffer.
#pragma once

#include <cstdint>

namespace dravik::readers {

inline std::uint16_t Le16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }
inline std::uint16_t Be16(const std::uint8_t* at) { return static_cast<std::uint16_t>((at[0] << 8) | at[1]); }
inline std::uint32_t Le32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16) |
           (std::uint32_t{at[3]} << 24);
}
inline std::uint32_t Be32(const std::uint8_t* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) |
           std::uint32_t{at[3]};
}

}  // namespace dravik::readers
