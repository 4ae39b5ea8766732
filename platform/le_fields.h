// Little- and big-endian fields of records that cross a module boundary
// (ASPI request blocks, the pass-through record). Records are byte arrays
// read and written field by field, never cast to structs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravik::platform {

inline void PutLe16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutLe64(uint8_t* at, uint64_t v) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t GetLe16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}
inline uint32_t GetLe32(const uint8_t* at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | at[i];
    return v;
}
inline uint64_t GetLe64(const uint8_t* at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | at[i];
    return v;
}
inline uint32_t GetBe32(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

// A pointer stored in a record as a 64-bit little-endian number.
inline void PutPointer(uint8_t* at, const void* p) { PutLe64(at, reinterpret_cast<uintptr_t>(p)); }
template <typename T>
inline T* GetPointer(const uint8_t* at) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(GetLe64(at)));
}

}  // namespace dravik::platform
