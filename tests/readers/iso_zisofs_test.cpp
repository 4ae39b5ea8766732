// zisofs files expanded from recorded bytes the test compresses itself:
// whole files come out byte for byte; damaged tables, blocks and headers
// come out as zeros where they are damaged and are reported, never read
// past.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "program/readers/iso9660/zisofs_stream.h"

namespace dravik::test {
namespace {

using namespace readers::iso;
using Bytes = std::vector<std::uint8_t>;

void PutLe32(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct Zisofs {
    Bytes content;
    Bytes recorded;
    scan::ZisofsLayout layout;
};

// Compresses `content` as zisofs with 32 KiB blocks; blocks of zeros are
// recorded as empty ranges, as the writers do.
Zisofs Make(const Bytes& content) {
    Zisofs z;
    z.content = content;
    const std::size_t block = 32768;
    const std::size_t blocks = (content.size() + block - 1) / block;
    Bytes& out = z.recorded;
    out.assign(16 + 4 * (blocks + 1), 0);
    std::memcpy(out.data(), kZisofsMagic, 8);
    PutLe32(out, 8, static_cast<std::uint32_t>(content.size()));
    out[12] = 4;
    out[13] = 15;
    PutLe32(out, 16, static_cast<std::uint32_t>(out.size()));
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t from = i * block;
        const std::size_t length = std::min(block, content.size() - from);
        const bool zeros = std::all_of(content.begin() + from, content.begin() + from + length,
                                       [](std::uint8_t b) { return b == 0; });
        if (!zeros) {
            uLongf size = compressBound(length);
            Bytes packed(size);
            EXPECT_EQ(compress2(packed.data(), &size, content.data() + from, length, 9), Z_OK);
            out.insert(out.end(), packed.begin(), packed.begin() + size);
        }
        PutLe32(out, 16 + 4 * (i + 1), static_cast<std::uint32_t>(out.size()));
    }
    z.layout.storedSize = static_cast<std::uint32_t>(out.size());
    z.layout.headerSize = 4;
    z.layout.blockLog2 = 15;
    return z;
}

Bytes Content(std::size_t size) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 9));
    return out;
}

TEST(ZisofsTest, FilesComeOutByteForByte) {
    Bytes withHole = Content(200000);
    std::fill(withHole.begin() + 32768, withHole.begin() + 65536, 0);
    for (const Bytes& content : {Content(1), Content(32768), Content(100001), withHole, Bytes{}}) {
        const Zisofs z = Make(content);
        Bytes out;
        std::string error;
        EXPECT_TRUE(ExpandZisofs(z.recorded, content.size(), z.layout, out, error)) << content.size() << error;
        EXPECT_EQ(out, content) << content.size();
    }
}

TEST(ZisofsTest, DamageComesOutAsZerosAndIsReported) {
    const Bytes content = Content(100000);  // four blocks
    struct Case {
        const char* what;
        void (*damage)(Zisofs&);
        bool firstBlockKept;  // else: the header is unusable and nothing comes out
    };
    const Case cases[] = {
        {"second block's stream garbled", [](Zisofs& z) {
             const std::uint32_t second = z.recorded[20] | (z.recorded[21] << 8) | (z.recorded[22] << 16);
             z.recorded[second + 10] ^= 0xFF;
         }, true},
        {"pointer past the data", [](Zisofs& z) { PutLe32(z.recorded, 16 + 8, 0x7FFFFFFF); }, true},
        {"pointers going backwards", [](Zisofs& z) { PutLe32(z.recorded, 16 + 8, 20); }, true},
        {"magic wrong", [](Zisofs& z) { z.recorded[0] = 0; }, false},
        {"block size unknown", [](Zisofs& z) { z.layout.blockLog2 = 30; }, false},
        {"recorded data cut short", [](Zisofs& z) { z.layout.storedSize = 40; }, false},
        {"header size unlike the entry's", [](Zisofs& z) { z.recorded[12] = 255; }, false},
        {"expanded size unlike the entry's", [](Zisofs& z) { PutLe32(z.recorded, 8, 5); }, false},
    };
    for (const Case& c : cases) {
        Zisofs z = Make(content);
        c.damage(z);
        Bytes out;
        std::string error;
        EXPECT_FALSE(ExpandZisofs(z.recorded, content.size(), z.layout, out, error)) << c.what;
        if (!c.firstBlockKept) {
            EXPECT_TRUE(out.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(out.size(), content.size()) << c.what;
        EXPECT_NE(out, content) << c.what;
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + 32768, content.begin())) << c.what;
    }
}

}  // namespace
}  // namespace dravik::test
