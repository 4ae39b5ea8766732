// Little- and big-endian numbers in byte buffers: CDB fields, drive
// replies, on-disc structures and the records that cross a module boundary.
// Buffers are read and written one field at a time, never cast to structs;
// the caller has checked that the field lies inside its buffer.
#pragma once

#include <cstdint>

namespace dravik::bytes {

constexpr std::uint16_t GetLe16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
constexpr std::uint32_t GetLe24(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16);
}
constexpr std::uint32_t GetLe32(const std::uint8_t* at) {
    return GetLe24(at) | (std::uint32_t{at[3]} << 24);
}
constexpr std::uint64_t GetLe64(const std::uint8_t* at) {
    return std::uint64_t{GetLe32(at)} | (std::uint64_t{GetLe32(at + 4)} << 32);
}

constexpr std::uint16_t GetBe16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}
constexpr std::uint32_t GetBe24(const std::uint8_t* at) {
    return (std::uint32_t{at[0]} << 16) | (std::uint32_t{at[1]} << 8) | std::uint32_t{at[2]};
}
constexpr std::uint32_t GetBe32(const std::uint8_t* at) {
    return (std::uint32_t{at[0]} << 24) | GetBe24(at + 1);
}
constexpr std::uint64_t GetBe64(const std::uint8_t* at) {
    return (std::uint64_t{GetBe32(at)} << 32) | std::uint64_t{GetBe32(at + 4)};
}

constexpr void PutLe16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}
// The low 24 bits of `value`.
constexpr void PutLe24(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 3; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
constexpr void PutLe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
constexpr void PutLe64(std::uint8_t* at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

constexpr void PutBe16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}
// The low 24 bits of `value`.
constexpr void PutBe24(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 3; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * (2 - i)));
}
constexpr void PutBe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
}
constexpr void PutBe64(std::uint8_t* at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * (7 - i)));
}

}  // namespace dravik::bytes
