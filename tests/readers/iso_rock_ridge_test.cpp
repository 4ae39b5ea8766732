// The Rock Ridge System Use walker over bytes the test lays out: names in
// several pieces, continuation areas (and the limits that keep hostile ones
// from looping), links, times, modes, relocation and zisofs entries.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "iso_layout.h"
#include "program/readers/iso9660/rock_ridge.h"

namespace dravik::test {
namespace {

using namespace readers::iso;
using iso::Bytes;

Bytes Both32(std::uint32_t value) {
    Bytes out(8);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
        out[7 - i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return out;
}

Bytes Entry(const char* signature, const Bytes& body) {
    Bytes out{static_cast<std::uint8_t>(signature[0]), static_cast<std::uint8_t>(signature[1]),
              static_cast<std::uint8_t>(4 + body.size()), 1};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Name(const std::string& piece, std::uint8_t flags = 0) {
    Bytes body{flags};
    body.insert(body.end(), piece.begin(), piece.end());
    return Entry("NM", body);
}

Bytes Continuation(std::uint32_t block, std::uint32_t offset, std::uint32_t length) {
    Bytes body = Both32(block);
    for (std::uint32_t value : {offset, length}) {
        const Bytes field = Both32(value);
        body.insert(body.end(), field.begin(), field.end());
    }
    return Entry("CE", body);
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Continuation blocks the walker may ask for, and how often it asked.
struct Blocks {
    std::map<std::uint32_t, Bytes> blocks;
    std::map<std::uint32_t, int> asked;
    ContinuationBlockReader Reader() {
        return [this](std::uint32_t block, const std::uint8_t*& data) {
            ++asked[block];
            auto found = blocks.find(block);
            if (found == blocks.end()) return false;
            data = found->second.data();
            return true;
        };
    }
    void Put(std::uint32_t block, std::uint32_t offset, const Bytes& area) {
        Bytes& data = blocks[block];
        data.resize(2048, 0);
        std::copy(area.begin(), area.end(), data.begin() + offset);
    }
};

RockRidgeEntries Parse(const Bytes& area, Blocks* blocks = nullptr) {
    return ParseSystemUse(area.data(), area.size(), blocks ? blocks->Reader() : ContinuationBlockReader{});
}

TEST(RockRidgeTest, NamesAreJoinedFromTheirPiecesAndDotNamesIgnored) {
    struct Case {
        const char* what;
        Bytes area;
        const char* name;  // null: no name
    };
    const std::string long200(200, 'x');
    const Case cases[] = {
        {"one piece", Name("plain.txt"), "plain.txt"},
        {"three pieces", Join({Name("ab", 1), Name("cd", 1), Name("ef")}), "abcdef"},
        {"a second name that does not continue", Join({Name("first"), Name("second")}), "first"},
        {"current directory", Name("", 0x02), nullptr},
        {"long name in two pieces", Join({Name(long200.substr(0, 150), 1), Name(long200.substr(150))}),
         long200.c_str()},
        {"after a terminator", Join({Entry("ST", {}), Name("late")}), nullptr},
    };
    for (const Case& c : cases) {
        const RockRidgeEntries entries = Parse(c.area);
        if (c.name) {
            EXPECT_EQ(entries.name.value_or("<none>"), c.name) << c.what;
        } else {
            EXPECT_FALSE(entries.name && !entries.name->empty()) << c.what;
        }
    }
}

TEST(RockRidgeTest, ContinuationAreasAreFollowedOnceAndWithinLimits) {
    // The name goes on in block 40 at offset 100, which also holds the mode.
    Blocks blocks;
    blocks.Put(40, 100, Join({Name("-second-half", 1), Name("end"), Entry("PX", Join({Both32(0100644), Both32(1)}))}));
    RockRidgeEntries entries = Parse(Join({Name("first-half", 1), Continuation(40, 100, 20)}), &blocks);
    EXPECT_EQ(entries.name.value_or(""), "first-half-second-half");  // "end" lies past the area's 20 bytes
    EXPECT_FALSE(entries.hasMode);
    entries = Parse(Join({Name("first-half", 1), Continuation(40, 100, 200)}), &blocks);
    EXPECT_EQ(entries.name.value_or(""), "first-half-second-halfend");
    EXPECT_TRUE(entries.hasMode);
    EXPECT_EQ(entries.mode, 0100644u);
    EXPECT_EQ(entries.continuationAreas, 1);

    // An area that continues into itself is read once.
    Blocks loop;
    loop.Put(7, 0, Join({Name("x", 1), Continuation(7, 0, 60)}));
    entries = Parse(Continuation(7, 0, 60), &loop);
    EXPECT_EQ(entries.continuationAreas, 1);
    EXPECT_EQ(loop.asked[7], 1);

    // A chain of distinct areas stops at the limit.
    Blocks chain;
    for (std::uint32_t block = 100; block < 200; ++block) chain.Put(block, 0, Continuation(block + 1, 0, 28));
    entries = Parse(Continuation(100, 0, 28), &chain);
    EXPECT_EQ(entries.continuationAreas, kMaxContinuationAreas);

    // Offsets outside the block, empty areas and unreadable blocks end the walk.
    for (const Bytes& area : {Continuation(40, 2048, 10), Continuation(40, 0, 0), Continuation(999, 0, 100)}) {
        entries = Parse(Join({Name("kept", 1), area}), &blocks);
        EXPECT_EQ(entries.name.value_or(""), "kept");
        EXPECT_EQ(entries.continuationAreas, 0);
    }
    // An area running past its block is cut at the block's end: an entry
    // that fits in the last 8 bytes is read, one that would run past is not.
    Blocks edge;
    edge.Put(3, 2041, Name("ta"));
    edge.Put(4, 2040, Bytes{'N', 'M', 12, 1, 0, 'a', 'b', 'c'});
    EXPECT_EQ(Parse(Continuation(3, 2041, 500), &edge).name.value_or(""), "ta");
    EXPECT_FALSE(Parse(Continuation(4, 2040, 500), &edge).name.has_value());
}

TEST(RockRidgeTest, LinkTargetsKeepTheirComponentsAsWritten) {
    const auto component = [](std::uint8_t flags, const std::string& text) {
        Bytes out{flags, static_cast<std::uint8_t>(text.size())};
        out.insert(out.end(), text.begin(), text.end());
        return out;
    };
    const auto link = [](std::uint8_t flags, const Bytes& components) {
        Bytes body{flags};
        body.insert(body.end(), components.begin(), components.end());
        return Entry("SL", body);
    };
    struct Case {
        const char* what;
        Bytes area;
        const char* target;
    };
    const Case cases[] = {
        {"relative", link(0, Join({component(0, "dir"), component(0, "file.txt")})), "dir/file.txt"},
        {"absolute", link(0, Join({component(0x08, ""), component(0, "usr"), component(0, "lib")})), "/usr/lib"},
        {"dots", link(0, Join({component(0x04, ""), component(0x02, ""), component(0, "x")})), ".././x"},
        {"split component", link(0, Join({component(0x01, "lo"), component(0, "ng")})), "long"},
        {"over two entries", Join({link(0x01, component(0, "a")), link(0, component(0, "b"))}), "a/b"},
        {"component past the entry", link(0, Join({component(0, "ok"), Bytes{0, 200, 'z'}})), "ok"},
    };
    for (const Case& c : cases) {
        const RockRidgeEntries entries = Parse(c.area);
        EXPECT_TRUE(entries.symlink) << c.what;
        EXPECT_EQ(entries.linkTarget, c.target) << c.what;
    }
}

TEST(RockRidgeTest, TimesRelocationCompressionAndSkipBytes) {
    // Creation and modification in the short form: the second is taken.
    Bytes times{0x03, 100, 1, 1, 0, 0, 0, 0, 123, 4, 5, 6, 7, 8, 4};
    RockRidgeEntries entries = Parse(Entry("TF", times));
    ASSERT_TRUE(entries.hasModified);
    EXPECT_EQ(entries.modified.year, 123);
    EXPECT_EQ(entries.modified.month, 4);
    EXPECT_EQ(entries.modified.second, 8);
    // The long form, modification alone.
    const std::string stamp = "2019123123595900";
    Bytes longForm{0x82};
    longForm.insert(longForm.end(), stamp.begin(), stamp.end());
    longForm.push_back(0xF8);
    entries = Parse(Entry("TF", longForm));
    ASSERT_TRUE(entries.hasModified);
    EXPECT_EQ(entries.modified.year, 119);
    EXPECT_EQ(entries.modified.day, 31);
    EXPECT_EQ(entries.modified.minute, 59);
    EXPECT_EQ(entries.modified.zone, -8);
    // An access time alone, or a stamp cut short, gives no date.
    EXPECT_FALSE(Parse(Entry("TF", {0x04, 120, 1, 1, 0, 0, 0, 0})).hasModified);
    EXPECT_FALSE(Parse(Entry("TF", {0x02, 120, 1})).hasModified);

    entries = Parse(Join({Entry("CL", Both32(1234)), Entry("PL", Both32(99)), Entry("RE", {})}));
    EXPECT_EQ(entries.childLink.value_or(0), 1234u);
    EXPECT_EQ(entries.parentLink.value_or(0), 99u);
    EXPECT_TRUE(entries.relocated);

    entries = Parse(Entry("ZF", Join({Bytes{'p', 'z', 4, 15}, Both32(100000)})));
    EXPECT_TRUE(entries.zisofs);
    EXPECT_EQ(entries.zisofsHeaderSize, 4);
    EXPECT_EQ(entries.zisofsBlockLog2, 15);
    EXPECT_EQ(entries.zisofsSize, 100000u);
    EXPECT_FALSE(Parse(Entry("ZF", Join({Bytes{'x', 'x', 4, 15}, Both32(5)}))).zisofs);

    entries = Parse(Entry("SP", {0xBE, 0xEF, 3}));
    EXPECT_TRUE(entries.sharingProtocol);
    EXPECT_EQ(entries.skipBytes, 3);
    EXPECT_FALSE(Parse(Entry("SP", {0xBE, 0xEE, 3})).sharingProtocol);

    // The area begins after the identifier, its padding and the skip bytes.
    const Bytes record = iso::DirectoryRecord({1, 1, 0, "AB", Join({Bytes{0, 0, 0}, Name("skipped")})});
    const std::uint8_t* area = nullptr;
    std::size_t length = 0;
    SystemUseArea(record.data(), record.size(), 3, area, length);
    EXPECT_EQ(ParseSystemUse(area, length).name.value_or(""), "skipped");
    SystemUseArea(record.data(), record.size(), 255, area, length);
    EXPECT_EQ(length, 0u);
    // A record cut before its identifier length has no area (read nothing past it).
    const Bytes cut(record.begin(), record.begin() + 20);
    SystemUseArea(cut.data(), cut.size(), 0, area, length);
    EXPECT_EQ(length, 0u);
}

TEST(RockRidgeTest, AnyBytesAreWalkedWithinTheirLimits) {
    std::mt19937 random(25);
    Blocks blocks;
    for (std::uint32_t block = 0; block < 8; ++block) {
        Bytes data(2048);
        for (auto& byte : data) byte = static_cast<std::uint8_t>(random() % 8 == 0 ? 1 : random());
        blocks.Put(block, 0, data);
    }
    for (int round = 0; round < 3000; ++round) {
        Bytes area(random() % 300);
        for (auto& byte : area) byte = static_cast<std::uint8_t>(random());
        // Plant entry headers so that the walk gets past the first one.
        static const char* kinds[] = {"NM", "SL", "CE", "TF", "PX", "ZF", "CL"};
        for (std::size_t at = 0; at + 4 <= area.size(); at += 4 + random() % 40) {
            const char* kind = kinds[random() % 7];
            area[at] = kind[0];
            area[at + 1] = kind[1];
            area[at + 3] = 1;
        }
        const RockRidgeEntries entries = Parse(area, &blocks);
        EXPECT_LE(entries.name.value_or("").size(), kMaxRockRidgeNameBytes);
        EXPECT_LE(entries.linkTarget.size(), kMaxLinkTargetBytes);
        EXPECT_LE(entries.continuationAreas, kMaxContinuationAreas);
    }
}

}  // namespace
}  // namespace dravik::test
