// Compares what two virtual drives serve: the table of contents (the
// formatted one and the full one with its sessions), every track's
// information, and every block from the first pre-gap to the last
// lead-out, raw and as user data. Image loaders of different formats
// describing the same disc must pass it.
#pragma once

#include <gtest/gtest.h>

#include "mmc_client.h"

namespace dravik::test {

inline void ExpectSameDisc(platform::ScsiDrive& expected, platform::ScsiDrive& actual) {
    for (uint8_t format : {0, 2}) {
        const auto cdb = Cdb10(0x43, uint32_t(format) << 24, 4096, format == 2 ? 0x02 : 0x00);
        const MmcReply a = SendCdb(expected, cdb, 4096), b = SendCdb(actual, cdb, 4096);
        ASSERT_TRUE(a.Good()) << a.SenseText();
        ASSERT_TRUE(b.Good()) << b.SenseText();
        EXPECT_EQ(Hex(b.data), Hex(a.data)) << "READ TOC format " << int(format);
    }
    const MmcReply toc = SendCdb(expected, Cdb10(0x43, 0, 4096), 4096);
    const int lastTrack = toc.data.at(3);
    uint32_t end = 0;
    for (int track = toc.data.at(2); track <= lastTrack; ++track) {
        const auto cdb = Cdb10(0x52, uint32_t(track), 36, 0x01);
        const MmcReply a = SendCdb(expected, cdb, 36), b = SendCdb(actual, cdb, 36);
        ASSERT_TRUE(a.Good()) << a.SenseText();
        EXPECT_EQ(Hex(b.data), Hex(a.data)) << "track " << track;
        end = BE32(a.data, 8) + BE32(a.data, 24);
    }
    // Every block, lead-outs and lead-ins between sessions included: the
    // same bytes or the same error.
    int differing = 0;
    for (int32_t lba = -150; lba < int32_t(end) && differing < 5; ++lba) {
        for (const bool raw : {true, false}) {
            const auto cdb = raw ? std::vector<uint8_t>{0xBE, 0, uint8_t(uint32_t(lba) >> 24), uint8_t(uint32_t(lba) >> 16),
                                                        uint8_t(uint32_t(lba) >> 8), uint8_t(lba), 0, 0, 1, 0xF8, 0, 0}
                                 : Cdb10(0x28, uint32_t(lba), 1);
            const size_t length = raw ? 2352 : 2048;
            const MmcReply a = SendCdb(expected, cdb, length), b = SendCdb(actual, cdb, length);
            if (a.Good() != b.Good() || a.SenseText() != b.SenseText() || a.data != b.data) {
                ++differing;
                ADD_FAILURE() << (raw ? "READ CD" : "READ(10)") << " of block " << lba << ": " << a.SenseText()
                              << " expected, " << b.SenseText() << (a.data != b.data ? ", other bytes" : "");
            }
        }
    }
}

}  // namespace dravik::test
