// The UDF reader's small pieces on hand-made bytes: names and d-strings,
// tag checks, the mapping of logical blocks through partition maps and a
// sparing table, and a file's layout from its allocation descriptors.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "platform/byte_order.h"
#include "program/readers/udf/udf_allocation.h"
#include "program/readers/udf/udf_names.h"
#include "program/readers/udf/udf_tags.h"
#include "program/readers/udf/udf_volume_map.h"

namespace dravik::readers::udf {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct NameCase {
    const char* what;
    Bytes field;
    std::size_t length;
    std::string expected;
};

TEST(UdfNameTest, DecodesCompressedUnicodeWithinItsField) {
    const NameCase cases[] = {
        {"8-bit", {8, 'a', 'b', 'c'}, 4, "abc"},
        {"8-bit Latin-1", {8, 'G', 0xFC}, 3, "G\xC3\xBC"},
        {"8-bit stops at NUL", {8, 'a', 0, 'b'}, 4, "a"},
        {"16-bit", {16, 0, 'A', 0x65, 0xE5}, 5, "A\xE6\x97\xA5"},
        {"16-bit odd last byte dropped", {16, 0, 'A', 0}, 4, "A"},
        {"16-bit stops at a zero character", {16, 0, 'A', 0, 0, 0, 'B'}, 7, "A"},
        {"length shorter than the bytes", {8, 'a', 'b', 'c', 'd'}, 3, "ab"},
        {"unknown compression id", {3, 'a', 'b'}, 3, ""},
        {"only the id", {8}, 1, ""},
    };
    for (const NameCase& c : cases) EXPECT_EQ(UdfName(c.length, c.field.data()), c.expected) << c.what;
}

TEST(UdfNameTest, DStringHonoursItsLengthByte) {
    Bytes field(32, 'x');
    field[0] = 8;
    field[31] = 4;  // id and three characters
    EXPECT_EQ(UdfDString(field.data(), field.size()), "xxx");
    field[31] = 32;  // past the field: refused
    EXPECT_EQ(UdfDString(field.data(), field.size()), "");
    field[31] = 0;
    EXPECT_EQ(UdfDString(field.data(), field.size()), "");
}

Bytes Tag(std::uint16_t id, std::uint16_t version = 2) {
    Bytes tag(2048, 0);
    bytes::PutLe16(tag.data(), id);
    bytes::PutLe16(tag.data() + 2, version);
    tag[4] = TagChecksum(tag.data());
    return tag;
}

TEST(UdfTagTest, RefusesEachBadFieldWithItsCode) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> change;
        bool checksums;
        int code;
    } cases[] = {
        {"good", [](Bytes&) {}, true, kTagGood},
        {"version 0", [](Bytes& t) { t[2] = 0; }, false, kTagBadVersion},
        {"version 4", [](Bytes& t) { t[2] = 4; }, false, kTagBadVersion},
        {"reserved byte", [](Bytes& t) { t[5] = 1; }, false, kTagBadReserved},
        {"CRC length past a block", [](Bytes& t) { bytes::PutLe16(t.data() + 10, 2049); }, false, kTagBadCrcLength},
        {"checksum", [](Bytes& t) { t[4] ^= 1; }, true, kTagBadChecksum},
        {"checksum not checked", [](Bytes& t) { t[4] ^= 1; }, false, kTagGood},
    };
    for (const Case& c : cases) {
        Bytes tag = Tag(261);
        c.change(tag);
        EXPECT_EQ(TagProblem(tag.data(), c.checksums), c.code) << c.what;
    }
}

// A logical volume descriptor with a physical map and a sparable one.
Bytes TwoMapLvd() {
    Bytes lvd = Tag(6);
    bytes::PutLe32(lvd.data() + 264, 6 + 64);
    bytes::PutLe32(lvd.data() + 268, 2);
    std::uint8_t* physical = lvd.data() + 440;
    physical[0] = 1;
    physical[1] = 6;
    std::uint8_t* sparable = physical + 6;
    sparable[0] = 2;
    sparable[1] = 64;
    std::memcpy(sparable + 5, "*UDF Sparable Partition", 23);
    bytes::PutLe16(sparable + 40, 32);
    sparable[42] = 2;
    bytes::PutLe32(sparable + 48, 160);
    bytes::PutLe32(sparable + 52, 2976);
    return lvd;
}

TEST(UdfVolumeMapTest, MapsEachReferenceThroughItsOwnKind) {
    UdfVolumeMap map;
    map.partitionStart = 1000;
    map.partitionRelative = true;
    ASSERT_TRUE(ReadPartitionMaps(TwoMapLvd().data(), map));
    ASSERT_EQ(map.mapCount, 2);
    EXPECT_EQ(map.packetLength, 32u);
    EXPECT_EQ(map.sparingLocations, (std::vector<std::uint32_t>{160, 2976}));
    map.sparing = {{0xFFFFFFF0u, 300}, {64, 500}};
    map.sparingLoaded = true;
    ChooseMappings(map);
    struct Case {
        std::uint32_t block, reference;
        std::int64_t expected;
    } cases[] = {
        {5, 0, 1005},       // physical
        {64, 0, 1064},      // the physical map knows no sparing
        {64, 1, 500},       // first block of a spared packet
        {95, 1, 531},       // its last block
        {96, 1, 1096},      // the next packet stays
        {63, 1, 1063},
        {5, 2, kNoBlock},   // names no map
        {5, 0xFFFF, kNoBlock},
    };
    for (const Case& c : cases) EXPECT_EQ(MapLogicalBlock(map, c.block, c.reference), c.expected) << c.block << ":" << c.reference;
}

TEST(UdfVolumeMapTest, MapsRunningPastTheTableAreNotRead) {
    Bytes lvd = TwoMapLvd();
    bytes::PutLe32(lvd.data() + 264, 6 + 20);  // the table ends inside the sparable map
    UdfVolumeMap map;
    ReadPartitionMaps(lvd.data(), map);
    EXPECT_EQ(map.mapCount, 1);
    EXPECT_TRUE(map.sparingLocations.empty());
}

// A file's entry and continuation blocks on a tiny in-memory disc.
struct Disc {
    std::map<std::int64_t, Bytes> blocks;
    ReadBlockFunction Reader() {
        return [this](std::int64_t block, std::uint8_t* out) {
            auto found = blocks.find(block);
            if (found == blocks.end()) return false;
            std::memcpy(out, found->second.data(), 2048);
            return true;
        };
    }
};

Bytes FileEntry(std::uint64_t size, int type, const Bytes& descriptors) {
    Bytes fe = Tag(261);
    fe[34] = static_cast<std::uint8_t>(type);
    bytes::PutLe64(fe.data() + 56, size);
    bytes::PutLe32(fe.data() + 172, static_cast<std::uint32_t>(descriptors.size()));
    std::memcpy(fe.data() + 176, descriptors.data(), descriptors.size());
    fe[4] = TagChecksum(fe.data());
    return fe;
}

void Short(Bytes& list, std::uint32_t lengthField, std::uint32_t position) {
    list.resize(list.size() + 8);
    bytes::PutLe32(list.data() + list.size() - 8, lengthField);
    bytes::PutLe32(list.data() + list.size() - 4, position);
}

Bytes Continuation(const Bytes& descriptors) {
    Bytes aed = Tag(258);
    bytes::PutLe32(aed.data() + 20, static_cast<std::uint32_t>(descriptors.size()));
    std::memcpy(aed.data() + 24, descriptors.data(), descriptors.size());
    return aed;
}

TEST(UdfFileLayoutTest, FollowsContinuationsAndWritesUnrecordedExtentsAsZeros) {
    UdfVolumeMap map;
    map.partitionStart = 100;
    map.partitionRelative = true;
    GuessPartitionMaps(map, false);
    Disc disc;
    Bytes first;
    Short(first, 4096, 10);                   // recorded, two blocks
    Short(first, (1u << 30) | 2048, 0);       // allocated, not recorded
    Short(first, (3u << 30) | 2048, 50);      // the list goes on at block 50
    Bytes rest;
    Short(rest, 1000, 20);
    disc.blocks[150] = Continuation(rest);
    disc.blocks[7] = FileEntry(4096 + 2048 + 1000, 0, first);
    const FileLayout layout = ReadFileLayout(map, disc.Reader(), 7, 0);
    ASSERT_TRUE(layout.valid);
    ASSERT_EQ(layout.pieces.size(), 3u);
    EXPECT_EQ(layout.pieces[0].position, 10u);
    EXPECT_EQ(layout.pieces[1].kind, FilePiece::Kind::kZeros);
    EXPECT_EQ(layout.pieces[2].position, 20u);
    EXPECT_EQ(layout.pieces[2].length, 1000u);
    EXPECT_FALSE(layout.broken);
}

TEST(UdfFileLayoutTest, ACircularOrMissingChainEndsAsBrokenWithZeros) {
    UdfVolumeMap map;
    GuessPartitionMaps(map, false);
    for (const bool circular : {true, false}) {
        Disc disc;
        Bytes first;
        Short(first, 2048, 10);
        Short(first, (3u << 30) | 2048, 50);
        Bytes loop;
        Short(loop, (3u << 30) | 2048, 50);  // points at itself
        if (circular) disc.blocks[50] = Continuation(loop);
        disc.blocks[7] = FileEntry(8192, 0, first);
        const FileLayout layout = ReadFileLayout(map, disc.Reader(), 7, 0);
        ASSERT_TRUE(layout.valid);
        EXPECT_TRUE(layout.broken) << circular;
        ASSERT_EQ(layout.pieces.size(), 2u) << circular;
        EXPECT_EQ(layout.pieces[1].kind, FilePiece::Kind::kZeros);
        EXPECT_EQ(layout.pieces[1].length, 8192u - 2048u);
    }
}

TEST(UdfFileLayoutTest, EntriesWhoseAreasDoNotFitAreRefused) {
    UdfVolumeMap map;
    GuessPartitionMaps(map, false);
    Disc disc;
    Bytes fe = FileEntry(10, 3, Bytes(10, 'z'));
    EXPECT_EQ(ReadFileLayout(map, (disc.blocks[7] = fe, disc.Reader()), 7, 0).bytes, Bytes(10, 'z'));
    bytes::PutLe32(fe.data() + 168, 2000);  // L_EA + L_AD past the block
    fe[4] = TagChecksum(fe.data());
    disc.blocks[7] = fe;
    EXPECT_FALSE(ReadFileLayout(map, disc.Reader(), 7, 0).valid);
}

}  // namespace
}  // namespace dravik::readers::udf
