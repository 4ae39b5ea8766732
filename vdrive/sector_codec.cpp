#include "vdrive/sector_codec.h"

#include <array>
#include <cstring>

#include "platform/byte_order.h"
#include "vdrive/msf.h"

namespace dravik::vdrive {

namespace {

// --- EDC -------------------------------------------------------------------

constexpr uint32_t kEdcPolynomialReflected = 0xD8018001u;

constexpr std::array<uint32_t, 256> MakeEdcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t v = i;
        for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ kEdcPolynomialReflected : v >> 1;
        table[i] = v;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kEdcTable = MakeEdcTable();

// --- GF(2^8) of the product code: x^8+x^4+x^3+x^2+1, primitive element 2 ----

struct GaloisTables {
    std::array<uint8_t, 256> log{};
    std::array<uint8_t, 512> exp{};
};

constexpr GaloisTables MakeGaloisTables() {
    GaloisTables t{};
    uint32_t v = 1;
    for (int i = 0; i < 255; ++i) {
        t.exp[i] = uint8_t(v);
        t.exp[i + 255] = uint8_t(v);
        t.log[v] = uint8_t(i);
        v <<= 1;
        if (v & 0x100) v ^= 0x11D;
    }
    return t;
}
constexpr GaloisTables kGf = MakeGaloisTables();

inline uint8_t GfMul(uint8_t a, uint8_t b) {
    if (a == 0 || b == 0) return 0;
    return kGf.exp[kGf.log[a] + kGf.log[b]];
}
inline uint8_t GfDiv(uint8_t a, uint8_t b) {  // b != 0
    if (a == 0) return 0;
    return kGf.exp[kGf.log[a] + 255 - kGf.log[b]];
}

// One Reed-Solomon code word of the product code has `dataCount` bytes
// followed by two parity bytes P0, P1 chosen so that the plain sum and the
// sum weighted by alpha^(n-1-i) of all n bytes are zero. With S0 the plain
// sum and S1 the weighted sum over the data bytes: P0 = (S0+S1)/(alpha+1),
// P1 = S0 + P0.
struct ParityPair {
    uint8_t p0, p1;
};

template <typename ByteAt>
ParityPair ComputeParity(int dataCount, ByteAt byteAt) {
    uint8_t s0 = 0, horner = 0;
    for (int i = 0; i < dataCount; ++i) {
        uint8_t v = byteAt(i);
        s0 ^= v;
        horner = GfMul(horner, 2) ^ v;  // sum of v_i * alpha^(dataCount-1-i)
    }
    const uint8_t s1 = GfMul(horner, 4);  // weights of the data bytes start at alpha^2
    const uint8_t p0 = GfDiv(s0 ^ s1, 3);  // alpha + 1 = 3
    return ParityPair{p0, uint8_t(s0 ^ p0)};
}

// The product code works on bytes 12-2351 seen as 16-bit words; each word
// plane (even or odd byte) is coded separately, which gives byte columns.
constexpr int kPColumns = 86, kPRows = 24;    // 2 x 43 words, 24 data rows
constexpr int kQDiagonals = 52, kQLength = 43;  // 2 x 26 diagonals of 43 bytes
constexpr int kQRegionBytes = 2236;            // data, EDC and P parity

}  // namespace

uint32_t ComputeEdc(const uint8_t* data, size_t length) {
    uint32_t crc = 0;
    for (size_t i = 0; i < length; ++i) crc = (crc >> 8) ^ kEdcTable[(crc ^ data[i]) & 0xFF];
    return crc;
}

void ComputeEcc(uint8_t* sector, bool zeroHeader) {
    uint8_t savedHeader[4];
    std::memcpy(savedHeader, sector + kHeaderOffset, 4);
    if (zeroHeader) std::memset(sector + kHeaderOffset, 0, 4);
    uint8_t* region = sector + kHeaderOffset;

    for (int column = 0; column < kPColumns; ++column) {
        ParityPair p = ComputeParity(kPRows, [&](int row) { return region[column + kPColumns * row]; });
        region[column + kPColumns * kPRows] = p.p0;
        region[column + kPColumns * (kPRows + 1)] = p.p1;
    }
    for (int diagonal = 0; diagonal < kQDiagonals; ++diagonal) {
        const int plane = diagonal & 1;
        const int start = (diagonal >> 1) * 86;
        ParityPair q = ComputeParity(kQLength, [&](int n) {
            return region[(start + 88 * n) % kQRegionBytes + plane];
        });
        region[kQRegionBytes + diagonal] = q.p0;
        region[kQRegionBytes + kQDiagonals + diagonal] = q.p1;
    }
    if (zeroHeader) std::memcpy(sector + kHeaderOffset, savedHeader, 4);
}

void WriteSyncAndHeader(uint8_t* sector, int32_t lba, uint8_t mode) {
    sector[0] = 0x00;
    std::memset(sector + 1, 0xFF, 10);
    sector[11] = 0x00;
    Msf msf = LbaToMsf(lba);
    sector[12] = ToBcd(msf.minute);
    sector[13] = ToBcd(msf.second);
    sector[14] = ToBcd(msf.frame);
    sector[15] = mode;
}

void BuildMode1Sector(uint8_t* sector, int32_t lba, const uint8_t* userData) {
    WriteSyncAndHeader(sector, lba, 1);
    std::memcpy(sector + kMode1DataOffset, userData, kUserDataSize);
    bytes::PutLe32(sector + kMode1EdcOffset, ComputeEdc(sector, kMode1EdcOffset));
    std::memset(sector + kMode1EdcOffset + 4, 0, 8);  // the intermediate field
    ComputeEcc(sector, false);
}

void BuildMode2Form1Sector(uint8_t* sector, int32_t lba, const uint8_t* userData) {
    WriteSyncAndHeader(sector, lba, 2);
    const uint8_t subheader[4] = {0x00, 0x00, 0x08, 0x00};
    std::memcpy(sector + 16, subheader, 4);
    std::memcpy(sector + 20, subheader, 4);  // the sub-header is stored twice
    std::memcpy(sector + kMode2Form1DataOffset, userData, kUserDataSize);
    bytes::PutLe32(sector + kMode2Form1EdcOffset, ComputeEdc(sector + 16, kMode2Form1EdcOffset - 16));
    ComputeEcc(sector, true);
}

uint16_t ComputeCrc16Inverted(const uint8_t* data, size_t length) {
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= uint16_t(data[i]) << 8;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return uint16_t(~crc);
}

void BuildSubQ(const SubQPosition& where, uint8_t* out12) {
    out12[0] = uint8_t((where.control & 0x0F) << 4 | 0x01);
    out12[1] = ToBcd(where.track);
    out12[2] = ToBcd(where.index);
    // In the pre-gap the relative time counts down towards index 1.
    Msf rel = FramesToMsf(where.relative < 0 ? -int64_t(where.relative) : where.relative);
    out12[3] = ToBcd(rel.minute);
    out12[4] = ToBcd(rel.second);
    out12[5] = ToBcd(rel.frame);
    out12[6] = 0;
    Msf abs = LbaToMsf(where.lba);
    out12[7] = ToBcd(abs.minute);
    out12[8] = ToBcd(abs.second);
    out12[9] = ToBcd(abs.frame);
    uint16_t crc = ComputeCrc16Inverted(out12, 10);
    bytes::PutBe16(out12 + 10, crc);
}

void BuildRawSubChannel(const SubQPosition& where, uint8_t* out96) {
    uint8_t q[12];
    BuildSubQ(where, q);
    const bool pause = where.index == 0;
    for (int i = 0; i < 96; ++i) {
        const bool qBit = (q[i / 8] >> (7 - i % 8)) & 1;
        out96[i] = uint8_t((pause ? 0x80 : 0) | (qBit ? 0x40 : 0));
    }
}

}  // namespace dravik::vdrive
