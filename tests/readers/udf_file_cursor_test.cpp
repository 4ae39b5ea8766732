// The UDF file cursor over volumes laid out block by block in memory:
// plain files through every kind of descriptor, continuations, embedded
// data, extents never written, unreadable blocks and VAT-mapped blocks;
// CeQuadrat-compressed extents; DirectCD files made here with zlib (several
// streams, a segment table, data that are not zlib, descriptors continued
// in an allocation extent descriptor); and a system without zlib.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "program/readers/udf/udf_file_cursor.h"
#include "program/readers/udf/zlib_module.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "support/udf_builder.h"

namespace dravik::readers::udf {
namespace {

using test::UdfBuilder;
using test::UdfData;
using test::UdfEntry;
using test::UdfExtent;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kPartition = 100;
constexpr std::int32_t kBlocks = 400;
constexpr std::uint32_t kAllocated = 0x40000000;
constexpr std::uint32_t kContinued = 0xC0000000;

Bytes Content(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * seed + i / 97) % 251 + 1);
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// One zlib stream of `data`, padded to whole blocks.
Bytes Deflated(const Bytes& data) {
    uLongf size = compressBound(data.size());
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), data.size(), 9), Z_OK);
    out.resize((size + 2047) / 2048 * 2048, 0);
    return out;
}

std::uint32_t BlocksOf(std::size_t bytes) { return static_cast<std::uint32_t>((bytes + 2047) / 2048); }

class UdfCursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        map_.partitionStart = kPartition;
        map_.partitionRelative = true;
        GuessPartitionMaps(map_, false);
    }
    void TearDown() override {
        CloseUdfFile(cursor_);
        for (scan::FoundItem* item : items_) scan::FreeItemTree(item);
        test_seams::SetZlibModuleName("");
    }

    ReadBlockFunction Reader() {
        return [this](std::int64_t block, std::uint8_t* out) {
            reads_.push_back(block);
            if (block < 0 || block >= kBlocks || bad_.count(block)) return false;
            std::memcpy(out, udf_.Block(static_cast<std::int32_t>(block)), 2048);
            return true;
        };
    }

    bool Open(std::uint32_t entry, std::uint32_t trackFlags = 0, std::uint16_t reference = 0) {
        scan::FoundItem* item = scan::NewFoundItem("file.bin");
        item->fsId = static_cast<std::uint32_t>(udf_.Absolute(entry));
        item->fsPartition = reference;
        items_.push_back(item);
        return OpenUdfFile(cursor_, map_, Reader(), *item, trackFlags);
    }

    // Everything the cursor hands out, cut to `size`; the unreadable
    // blocks it names go into `failed`.
    Bytes ReadAll(std::uint64_t size, std::vector<std::int64_t>* failed = nullptr) {
        Bytes all;
        std::uint8_t block[2048];
        for (int calls = 0; all.size() < size && calls < 10000; ++calls) {
            const int result = ReadUdfData(cursor_, block);
            if (result == kUdfDataEnded) break;
            if (result == kUdfDataError && failed) failed->push_back(cursor_.failedBlock);
            const std::size_t bytes = std::min<std::size_t>(cursor_.lastBytes, size - all.size());
            all.insert(all.end(), block, block + bytes);
        }
        return all;
    }

    UdfBuilder udf_{kBlocks, kPartition};
    UdfVolumeMap map_;
    UdfFileCursor cursor_;
    std::set<std::int64_t> bad_;
    std::vector<std::int64_t> reads_;
    std::vector<scan::FoundItem*> items_;
};

TEST_F(UdfCursorTest, PlainFilesReadBackByteForByte) {
    const Bytes a = Content(5000, 3);
    const Bytes b = Content(1000, 5);
    const Bytes c = Content(3000, 7);
    const Bytes d = Content(4500, 11);
    udf_.Data(10, a);
    udf_.Data(20, b);
    udf_.Data(22, c);
    udf_.Data(30, std::span(d).first(2048));
    udf_.Data(32, std::span(d).subspan(2048, 2048));
    udf_.Data(34, std::span(d).subspan(4096));
    udf_.AllocationExtent(40, UdfData::kShort, {{32, 2048}, {41, kContinued | 2048}});
    udf_.AllocationExtent(41, UdfData::kShort, {{34, 404}});
    struct Case {
        const char* name;
        UdfEntry entry;
        Bytes expected;
    };
    const Case cases[] = {
        {"short descriptors", {.size = 5000, .extents = {{10, 2048}, {11, 2952}}}, a},
        {"long descriptors", {.size = 5000, .kind = UdfData::kLong, .extents = {{10, 5000, 1}}}, a},
        {"an extent that ends mid-block", {.size = 4000, .extents = {{20, 1000}, {22, 3000}}}, Concat({b, c})},
        {"an extent never written", {.size = 3000, .extents = {{20, 1000}, {0, kAllocated | 2000}}},
         Concat({b, Bytes(2000, 0)})},
        {"descriptors continued twice", {.size = 4500, .extents = {{30, 2048}, {40, kContinued | 2048}}}, d},
        {"embedded data", {.size = 20, .kind = UdfData::kEmbedded, .embedded = Content(20, 13)}, Content(20, 13)},
        {"embedded data shorter than the size", {.size = 900, .kind = UdfData::kEmbedded, .embedded = Content(30, 13)},
         Content(30, 13)},
        {"an attribute area before the descriptors",
         {.size = 1000, .extents = {{20, 1000}}, .extendedAttributes = 100}, b},
    };
    std::uint32_t entry = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        udf_.Entry(entry, c.entry);
        ASSERT_TRUE(Open(entry));
        EXPECT_EQ(ReadAll(c.entry.size), c.expected);
        ++entry;
    }
}

TEST_F(UdfCursorTest, BadEntriesDoNotOpen) {
    udf_.Entry(200, {.size = 100, .extents = {{10}}});
    udf_.Entry(201, {.size = 100, .extents = {{10}}});
    // L_AD that runs past the entry's block.
    bytes::PutLe32(udf_.Block(udf_.Absolute(201)) + kFeDescriptorsLength, 2000);
    udf_.Reseal(udf_.Absolute(201));
    udf_.Entry(202, {.size = 100, .extents = {{10}}});
    bytes::PutLe32(udf_.Block(udf_.Absolute(202)) + kFeExtendedAttributesLength, 1900);
    udf_.Reseal(udf_.Absolute(202));
    udf_.Data(203, Content(2048, 1));  // not a File Entry
    EXPECT_TRUE(Open(200));
    EXPECT_FALSE(Open(201)) << "descriptors past the block";
    EXPECT_FALSE(Open(202)) << "attributes and descriptors past the block";
    EXPECT_FALSE(Open(203)) << "no File Entry tag";
    bad_.insert(udf_.Absolute(200));
    EXPECT_FALSE(Open(200)) << "unreadable entry";
}

TEST_F(UdfCursorTest, AnUnreadableBlockIsNamedAndReadingGoesOn) {
    const Bytes a = Content(6144, 3);
    udf_.Data(10, a);
    udf_.Entry(200, {.size = a.size(), .extents = {{10, 6144}}});
    bad_.insert(udf_.Absolute(11));
    ASSERT_TRUE(Open(200));
    std::vector<std::int64_t> failed;
    const Bytes read = ReadAll(a.size(), &failed);
    EXPECT_EQ(failed, std::vector<std::int64_t>{udf_.Absolute(11)});
    ASSERT_EQ(read.size(), a.size());
    EXPECT_TRUE(std::equal(read.begin(), read.begin() + 2048, a.begin()));
    EXPECT_EQ(Bytes(read.begin() + 2048, read.begin() + 4096), Bytes(2048, 0));
    EXPECT_TRUE(std::equal(read.begin() + 4096, read.end(), a.begin() + 4096));
}

TEST_F(UdfCursorTest, VirtualBlocksAreMappedOneByOneThroughTheVat) {
    map_.kinds[1] = PartitionKind::kVirtual;
    map_.vat = {50, 52, 51, 60};
    map_.vatLoaded = true;
    ChooseMappings(map_);
    const Bytes a = Content(6000, 3);
    udf_.Data(50, std::span(a).first(2048));
    udf_.Data(52, std::span(a).subspan(2048, 2048));
    udf_.Data(51, std::span(a).subspan(4096));
    // A short descriptor lies in the File Entry's partition (the virtual one).
    udf_.Entry(200, {.size = 6000, .extents = {{0, 6000}}});
    udf_.Entry(201, {.size = 6000, .kind = UdfData::kLong, .extents = {{0, 6000, 1}}});
    for (const std::uint32_t entry : {200u, 201u}) {
        SCOPED_TRACE(entry);
        ASSERT_TRUE(Open(entry, 0, 1));
        EXPECT_EQ(ReadAll(a.size()), a);
    }
}

TEST_F(UdfCursorTest, ExtentsAreListedWithTheirDiscBlocks) {
    udf_.AllocationExtent(40, UdfData::kShort, {{30, 4096}});
    udf_.Entry(200, {.size = 10240, .extents = {{10, 4096}, {0, kAllocated | 2048}, {40, kContinued | 2048}}});
    ASSERT_TRUE(Open(200));
    struct Extent {
        std::int64_t block;
        std::uint32_t length;
        ExtentType type;
    };
    const Extent expected[] = {{udf_.Absolute(10), 4096, ExtentType::kRecorded},
                               {udf_.Absolute(0), 2048, ExtentType::kAllocated},
                               {udf_.Absolute(30), 4096, ExtentType::kRecorded}};
    for (const Extent& e : expected) {
        std::int64_t block = 0;
        std::uint32_t length = 0;
        ASSERT_TRUE(NextUdfExtent(cursor_, block, length));
        EXPECT_EQ(block, e.block);
        EXPECT_EQ(length, e.length);
        EXPECT_EQ(cursor_.extentType, e.type);
    }
    std::int64_t block = 0;
    std::uint32_t length = 0;
    EXPECT_FALSE(NextUdfExtent(cursor_, block, length)) << "the recorded blocks are used up";
}

// CeQuadrat: an extent marked in its long descriptor holds the magic and
// commands that expand to the extent's length.
Bytes CeQuadrat(const Bytes& commands) {
    return Concat({{0x50, 0x48, 0x01, 0x00}, commands});
}

TEST_F(UdfCursorTest, CeQuadratExtentsAreExpanded) {
    // 5000 bytes: 63 literal bytes, then runs of 60 and back references.
    Bytes commands = {63};
    const Bytes literal = Content(63, 9);
    commands.insert(commands.end(), literal.begin(), literal.end());
    Bytes expected = literal;
    while (expected.size() < 5000) {
        const std::size_t n = std::min<std::size_t>(60, 5000 - expected.size());
        if (expected.size() % 3 == 0) {
            commands.insert(commands.end(), {static_cast<std::uint8_t>(0xC0 | n), 0x5A});
            expected.insert(expected.end(), n, 0x5A);
        } else {
            commands.insert(commands.end(), {static_cast<std::uint8_t>(0x80 | n), 63, 0});
            for (std::size_t i = 0; i < n; ++i) expected.push_back(expected[expected.size() - 63]);
        }
    }
    const Bytes compressed = CeQuadrat(commands);
    const Bytes plain = Content(3000, 5);
    udf_.Data(10, compressed);
    udf_.Data(20, plain);
    const auto word = static_cast<std::uint32_t>(compressed.size());
    udf_.Entry(200, {.size = 8000, .kind = UdfData::kLong, .extents = {{10, 5000, 0, 1, word}, {20, 3000}}});
    // Marked, but without the magic: read as it lies.
    udf_.Entry(201, {.size = 3000, .kind = UdfData::kLong, .extents = {{20, 3000, 0, 1, 100}}});
    ASSERT_TRUE(Open(200, scan::TrackCompressed));
    EXPECT_EQ(ReadAll(8000), Concat({expected, plain}));
    ASSERT_TRUE(Open(201, scan::TrackCompressed));
    EXPECT_EQ(ReadAll(3000), plain);
    // Marked on a volume that is not compressed: read as it lies.
    ASSERT_TRUE(Open(200, 0));
    EXPECT_EQ(ReadAll(8000), Concat({compressed, Bytes(5000 - compressed.size(), 0), plain}));
    // An unreadable compressed block: zeros for the whole extent, in place.
    bad_.insert(udf_.Absolute(10));
    ASSERT_TRUE(Open(200, scan::TrackCompressed));
    std::vector<std::int64_t> failed;
    EXPECT_EQ(ReadAll(8000, &failed), Concat({Bytes(5000, 0), plain}));
    EXPECT_EQ(failed, std::vector<std::int64_t>{udf_.Absolute(10)});
}


// DirectCD: a "This file" header with the size and a table of segments.
struct Segment {
    bool stored;
    Bytes data;
};

Bytes DirectCdHeader(std::uint64_t size, const std::vector<Segment>& segments) {
    Bytes header(2048, 0);
    std::memcpy(header.data() + 2, "This file", 9);
    const std::size_t length = 135 + 44 * segments.size();
    bytes::PutLe64(header.data() + 83, size);
    bytes::PutLe32(header.data() + 103, static_cast<std::uint32_t>(length));
    for (std::size_t i = 0; i < segments.size(); ++i) {
        std::uint8_t* entry = header.data() + 135 + 44 * i;
        bytes::PutLe32(entry, segments[i].stored ? 0 : 1);
        if (segments[i].stored) bytes::PutLe64(entry + 28, segments[i].data.size());
    }
    return header;
}

TEST_F(UdfCursorTest, DirectCdFilesAreInflated) {
    constexpr std::uint32_t kFlags = scan::TrackCompressed | scan::TrackDirectCdCompressed;
    const Bytes one = Content(6000, 3);
    const Bytes two = Content(6000, 5);
    const Bytes three = Content(3000, 7);
    const Bytes stored = Content(4096, 11);
    Bytes notZlib = Content(32 * 2048, 13);
    notZlib[0] = 0x01;  // no zlib header starts so
    struct Case {
        const char* name;
        Bytes data;        // from partition block 60
        Bytes expected;
        bool continued;    // descriptors continued after two blocks
    };
    const Case cases[] = {
        {"several streams", Concat({Deflated(one), Deflated(two), Deflated(three)}), Concat({one, two, three}), false},
        {"a segment table with stored and compressed segments",
         Concat({DirectCdHeader(one.size() + stored.size() + three.size(),
                                {{false, one}, {true, stored}, {false, three}}),
                 Deflated(one), stored, Deflated(three)}),
         Concat({one, stored, three}), false},
        {"a first stream that is not zlib", Concat({notZlib, Deflated(three)}), Concat({notZlib, three}), false},
        {"descriptors continued in an allocation extent descriptor",
         Concat({Deflated(one), Deflated(two), Deflated(three)}), Concat({one, two, three}), true},
    };
    std::uint32_t entry = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LT(60 + BlocksOf(c.data.size()), 199u);
        udf_.Data(60, c.data);
        const auto bytes = static_cast<std::uint32_t>(c.data.size());
        if (c.continued) {
            udf_.AllocationExtent(199, UdfData::kShort, {{62, bytes - 4096}});
            udf_.Entry(entry, {.size = c.expected.size(), .extents = {{60, 4096}, {199, kContinued | 2048}}});
        } else {
            udf_.Entry(entry, {.size = c.expected.size(), .extents = {{60, bytes}}});
        }
        ASSERT_TRUE(Open(entry, kFlags));
        EXPECT_EQ(cursor_.mode, UdfCursorMode::kDirectCd);
        const Bytes read = ReadAll(c.expected.size());
        EXPECT_EQ(read.size(), c.expected.size());
        EXPECT_TRUE(read == c.expected);
        CloseUdfFile(cursor_);
        ++entry;
    }
}

TEST_F(UdfCursorTest, ADirectCdHeaderIsBelievedOnlyAsFarAsTheFileGoes) {
    constexpr std::uint32_t kFlags = scan::TrackCompressed | scan::TrackDirectCdCompressed;
    const Bytes one = Content(6000, 3);
    struct Case {
        const char* name;
        std::size_t field;  // header offset changed
        std::uint64_t value;
        bool wide;          // a 64-bit field
    };
    const Case cases[] = {
        {"a huge size", 83, std::uint64_t{1} << 62, true},
        {"a huge header length", 103, 0xFFFFFFFF, false},
        {"a huge stored segment", 135 + 44 + 28, std::uint64_t{1} << 60, true},
        {"a header shorter than its table", 103, 140, false},
    };
    std::uint32_t entry = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes header = DirectCdHeader(one.size() + 2048, {{false, one}, {true, Content(2048, 5)}});
        if (c.wide) bytes::PutLe64(header.data() + c.field, c.value);
        else bytes::PutLe32(header.data() + c.field, static_cast<std::uint32_t>(c.value));
        const Bytes data = Concat({header, Deflated(one), Content(2048, 5)});
        udf_.Data(60, data);
        udf_.Entry(entry, {.size = one.size() + 2048, .extents = {{60, static_cast<std::uint32_t>(data.size())}}});
        const std::uint64_t recorded = BlocksOf(one.size() + 2048);
        reads_.clear();
        ASSERT_TRUE(Open(entry, kFlags));
        EXPECT_LE(cursor_.size, recorded * 2048 * 1032);
        ReadAll(std::uint64_t{1} << 24);
        for (const std::int64_t block : reads_) {
            if (block == udf_.Absolute(entry)) continue;
            EXPECT_GE(block, udf_.Absolute(60));
            EXPECT_LT(block, udf_.Absolute(60 + BlocksOf(data.size())));
        }
        CloseUdfFile(cursor_);
        ++entry;
    }
}

TEST_F(UdfCursorTest, WithoutZlibCompressedFilesDoNotOpen) {
    constexpr std::uint32_t kFlags = scan::TrackCompressed | scan::TrackDirectCdCompressed;
    const Bytes data = Content(3000, 3);
    udf_.Data(60, Deflated(data));
    udf_.Entry(200, {.size = data.size(), .extents = {{60, 2048}}});
    udf_.Entry(201, {.size = 20, .kind = UdfData::kEmbedded, .embedded = Content(20, 5)});
    test_seams::SetZlibModuleName("libz-not-on-this-system.so.1");
    EXPECT_FALSE(Open(200, kFlags));
    EXPECT_TRUE(cursor_.decompressorFailed);
    ASSERT_TRUE(Open(201, kFlags)) << "embedded data need no zlib";
    EXPECT_EQ(ReadAll(20), Content(20, 5));
    test_seams::SetZlibModuleName("");
    ASSERT_TRUE(Open(200, kFlags));
    EXPECT_EQ(ReadAll(data.size()), data);
}

TEST(ZlibVersion, TheFirstDigitDecides) {
    struct Case {
        const char* version;
        bool compatible;
    };
    const Case cases[] = {{"1.1.3", true}, {"1.2.13", true}, {"1.3.1", true}, {"2.0.0", false}, {"", false},
                          {nullptr, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version ? c.version : "null");
        EXPECT_EQ(ZlibVersionCompatible(c.version, kZlibVersionWritten), c.compatible);
    }
}

}  // namespace
}  // namespace dravik::readers::udf
