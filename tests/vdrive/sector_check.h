// Checks of raw CD sectors written from the definitions of ECMA-130, apart
// from the drive's own code: the EDC as a bit-by-bit polynomial division,
// and the P and Q parity through their check equations (every code word's
// plain and weighted sums must vanish).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_order.h"

namespace dravik::test {

// CRC with the generator x^32+x^31+x^16+x^15+x^4+x^3+x+1, bits taken least
// significant first: computed by dividing bit by bit, the polynomial in
// its written (unreflected) form applied to the bit-reversed input.
inline uint32_t ReferenceEdc(const uint8_t* data, size_t length) {
    auto reverse8 = [](uint8_t b) {
        uint8_t r = 0;
        for (int i = 0; i < 8; ++i) r = uint8_t(r << 1 | ((b >> i) & 1));
        return r;
    };
    uint32_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= uint32_t(reverse8(data[i])) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x8001801Bu : crc << 1;
    }
    uint32_t reflected = 0;
    for (int i = 0; i < 32; ++i) reflected |= ((crc >> i) & 1u) << (31 - i);
    return reflected;
}

inline uint8_t GfMultiply(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b) {
        if (b & 1) product ^= a;
        b >>= 1;
        a = uint8_t((a << 1) ^ ((a & 0x80) ? 0x1D : 0));
    }
    return product;
}

// Bytes 12-2351 as 1170 words of two bytes; `plane` picks one byte of each.
inline uint8_t WordByte(const uint8_t* sector, int word, int plane) { return sector[12 + 2 * word + plane]; }

// True when every P code word (26 words down a column, ECMA-130 Annex A)
// and every Q code word (43 words along a diagonal plus two parity words)
// satisfies both check equations.
inline bool EccConsistent(const uint8_t* sector) {
    for (int plane = 0; plane < 2; ++plane) {
        for (int column = 0; column < 43; ++column) {
            uint8_t s0 = 0, s1 = 0;
            for (int row = 0; row < 26; ++row) {
                uint8_t v = WordByte(sector, 43 * row + column, plane);
                s0 ^= v;
                s1 = uint8_t(GfMultiply(s1, 2) ^ v);  // weights alpha^(25-row)
            }
            if (s0 || s1) return false;
        }
        for (int diagonal = 0; diagonal < 26; ++diagonal) {
            uint8_t s0 = 0, s1 = 0;
            for (int n = 0; n < 45; ++n) {
                int word = n < 43 ? (44 * n + 43 * diagonal) % 1118 : (n == 43 ? 1118 : 1144) + diagonal;
                uint8_t v = WordByte(sector, word, plane);
                s0 ^= v;
                s1 = uint8_t(GfMultiply(s1, 2) ^ v);  // weights alpha^(44-n)
            }
            if (s0 || s1) return false;
        }
    }
    return true;
}

inline uint32_t LittleEndian32(const uint8_t* p) {
    return bytes::GetLe32(p);
}

}  // namespace dravik::test
