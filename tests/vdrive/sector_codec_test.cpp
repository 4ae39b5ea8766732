// Raw sector synthesis against independent computations of the EDC and the
// product code.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "sector_check.h"
#include "vdrive/sector_codec.h"

using namespace dravik::vdrive;
using dravik::test::EccConsistent;
using dravik::test::LittleEndian32;
using dravik::test::ReferenceEdc;

namespace {

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

TEST(SectorCodec, EdcMatchesBitwiseDivision) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
        auto data = RandomBytes(2064, seed);
        EXPECT_EQ(ComputeEdc(data.data(), data.size()), ReferenceEdc(data.data(), data.size()));
    }
    EXPECT_EQ(ComputeEdc(nullptr, 0), 0u);
}

TEST(SectorCodec, Mode1SectorLayoutEdcAndEcc) {
    auto user = RandomBytes(2048, 7);
    uint8_t sector[kRawSectorSize];
    BuildMode1Sector(sector, 16, user.data());
    const uint8_t sync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_EQ(0, memcmp(sector, sync, 12));
    // Block 16 is 00:02:16 (BCD), mode 1.
    EXPECT_EQ(sector[12], 0x00);
    EXPECT_EQ(sector[13], 0x02);
    EXPECT_EQ(sector[14], 0x16);
    EXPECT_EQ(sector[15], 0x01);
    EXPECT_EQ(0, memcmp(sector + 16, user.data(), 2048));
    EXPECT_EQ(LittleEndian32(sector + 2064), ReferenceEdc(sector, 2064));
    for (int i = 2068; i < 2076; ++i) EXPECT_EQ(sector[i], 0) << i;
    EXPECT_TRUE(EccConsistent(sector));

    // A changed data byte breaks the parity: the check is not vacuous.
    sector[100] ^= 1;
    EXPECT_FALSE(EccConsistent(sector));
}

TEST(SectorCodec, HeaderOfLateBlockUsesBcdMinutes) {
    uint8_t zeros[2048] = {};
    uint8_t sector[kRawSectorSize];
    BuildMode1Sector(sector, 449849, zeros);  // 99:59:74
    EXPECT_EQ(sector[12], 0x99);
    EXPECT_EQ(sector[13], 0x59);
    EXPECT_EQ(sector[14], 0x74);
    EXPECT_TRUE(EccConsistent(sector));
}

TEST(SectorCodec, Mode2Form1ParityIgnoresHeader) {
    auto user = RandomBytes(2048, 11);
    uint8_t sector[kRawSectorSize];
    BuildMode2Form1Sector(sector, 1000, user.data());
    EXPECT_EQ(sector[15], 2);
    EXPECT_EQ(0, memcmp(sector + 16, sector + 20, 4));  // sub-header twice
    EXPECT_FALSE(IsMode2Form2(sector));
    EXPECT_EQ(LittleEndian32(sector + 2072), ReferenceEdc(sector + 16, 2056));
    // The parity of a Mode 2 sector is computed with a zero header.
    uint8_t withZeroHeader[kRawSectorSize];
    memcpy(withZeroHeader, sector, kRawSectorSize);
    memset(withZeroHeader + 12, 0, 4);
    EXPECT_TRUE(EccConsistent(withZeroHeader));
    EXPECT_FALSE(EccConsistent(sector));
}

TEST(SectorCodec, SubQCarriesPositionAndCrc) {
    SubQPosition where;
    where.control = 4;
    where.track = 2;
    where.index = 1;
    where.relative = 75;  // one second into the track
    where.lba = 0;
    uint8_t q[12];
    BuildSubQ(where, q);
    EXPECT_EQ(q[0], 0x41);
    EXPECT_EQ(q[1], 0x02);
    EXPECT_EQ(q[2], 0x01);
    EXPECT_EQ(q[4], 0x01);  // relative 00:01:00
    EXPECT_EQ(q[8], 0x02);  // absolute 00:02:00
    EXPECT_EQ(uint16_t(q[10] << 8 | q[11]), ComputeCrc16Inverted(q, 10));
}

}  // namespace
