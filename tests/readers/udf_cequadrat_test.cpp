// The expansion of CeQuadrat-compressed extents, command by command, and
// the compressed data it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program/readers/udf/udf_cequadrat.h"

namespace dravik::readers::udf {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The magic, then the commands.
Bytes Compressed(const Bytes& commands) {
    Bytes data = {0x50, 0x48, 0x01, 0x00};
    data.insert(data.end(), commands.begin(), commands.end());
    return data;
}

Bytes Literal(const std::string& text) {
    Bytes command = {static_cast<std::uint8_t>(text.size())};
    command.insert(command.end(), text.begin(), text.end());
    return command;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(CeQuadrat, CommandsExpandToTheExtent) {
    const std::string sixtyThree(63, 'L');
    struct Case {
        const char* name;
        Bytes data;
        Bytes expected;
    };
    const Case cases[] = {
        {"a literal", Compressed(Literal("hello")), Text("hello")},
        {"63 literal bytes and a run of 40", Compressed(Join({Literal(sixtyThree), {0xC0 | 40, 'r'}})),
         Text(sixtyThree + std::string(40, 'r'))},
        {"distance 1 repeats the previous byte", Compressed(Join({Literal("x"), {0x40 | 10, 1}})),
         Text(std::string(11, 'x'))},
        {"a short reference", Compressed(Join({Literal("abcd"), {0x40 | 4, 4}})), Text("abcdabcd")},
        {"an overlapping short reference", Compressed(Join({Literal("ab"), {0x40 | 7, 2}})), Text("ababababa")},
        {"a long reference 300 back",
         Compressed(Join({{0xC0 | 60, 'a'}, {0xC0 | 60, 'b'}, {0xC0 | 60, 'c'}, {0xC0 | 60, 'd'}, {0xC0 | 60, 'e'},
                          Literal("XYZ"), {0x80 | 3, 0x2C, 0x01}})),
         Text(std::string(60, 'a') + std::string(60, 'b') + std::string(60, 'c') + std::string(60, 'd') +
              std::string(60, 'e') + "XYZ" + "aaa")},
        {"an overlapping long reference", Compressed(Join({Literal("123"), {0x80 | 9, 3, 0}})), Text("123123123123")},
        {"a count cut to the extent", Compressed(Join({Literal("ab"), {0xC0 | 50, 'z'}})), Text("abzzz")},
        {"bytes after the extent is full are left", Compressed(Join({Literal("done"), {0xFF, 0xFF, 0xFF}})),
         Text("done")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(c.expected.size(), 0xEE);
        ASSERT_TRUE(ExpandCeQuadrat(c.data.data(), c.data.size(), out.data(), out.size()));
        EXPECT_EQ(out, c.expected);
    }
}

TEST(CeQuadrat, BrokenDataIsRefused) {
    struct Case {
        const char* name;
        Bytes data;
        std::size_t extent;
    };
    const Case cases[] = {
        {"a wrong magic", Join({{0x50, 0x48, 0x02, 0x00}, Literal("abc")}), 3},
        {"fewer than four bytes", {0x50, 0x48}, 1},
        {"data that end before the extent", Compressed(Literal("abc")), 5},
        {"a reference of distance 0", Compressed(Join({Literal("abc"), {0x40 | 3, 0}})), 6},
        {"a long reference of distance 0", Compressed(Join({Literal("abc"), {0x80 | 3, 0, 0}})), 6},
        {"a reference before the start", Compressed(Join({Literal("ab"), {0x40 | 2, 3}})), 4},
        {"a long reference before the start", Compressed(Join({Literal("ab"), {0x80 | 2, 0x00, 0x01}})), 4},
        {"a literal past the data", Compressed({0x05, 'a', 'b'}), 5},
        {"a run without its byte", Compressed(Join({Literal("a"), {0xC0 | 4}})), 5},
        {"a long reference cut short", Compressed(Join({Literal("a"), {0x80 | 4, 1}})), 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(c.extent);
        EXPECT_FALSE(ExpandCeQuadrat(c.data.data(), c.data.size(), out.data(), out.size()));
    }
}

}  // namespace
}  // namespace dravik::readers::udf
