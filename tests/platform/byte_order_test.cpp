// The shared byte-order helpers: each width and order puts its bytes where
// the field lies, leaves the bytes around it alone, and reads back what it
// wrote without sign extension.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/byte_order.h"

namespace {

using namespace dravik;

constexpr std::uint8_t kAround = 0xEE;

struct Field {
    const char* name;
    std::function<void(std::uint8_t*, std::uint64_t)> put;
    std::function<std::uint64_t(const std::uint8_t*)> get;
    std::uint64_t value;
    std::vector<std::uint8_t> bytes;  // as they lie in the buffer
};

TEST(ByteOrder, EveryWidthLiesInItsOrderAndReadsBack) {
    const Field fields[] = {
        {"Le16", [](std::uint8_t* p, std::uint64_t v) { bytes::PutLe16(p, std::uint16_t(v)); }, bytes::GetLe16,
         0xF102, {0x02, 0xF1}},
        {"Le24", [](std::uint8_t* p, std::uint64_t v) { bytes::PutLe24(p, std::uint32_t(v)); }, bytes::GetLe24,
         0xF10203, {0x03, 0x02, 0xF1}},
        {"Le32", [](std::uint8_t* p, std::uint64_t v) { bytes::PutLe32(p, std::uint32_t(v)); }, bytes::GetLe32,
         0xF1020304, {0x04, 0x03, 0x02, 0xF1}},
        {"Le64", [](std::uint8_t* p, std::uint64_t v) { bytes::PutLe64(p, v); }, bytes::GetLe64,
         0xF102030405060708, {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0xF1}},
        {"Be16", [](std::uint8_t* p, std::uint64_t v) { bytes::PutBe16(p, std::uint16_t(v)); }, bytes::GetBe16,
         0xF102, {0xF1, 0x02}},
        {"Be24", [](std::uint8_t* p, std::uint64_t v) { bytes::PutBe24(p, std::uint32_t(v)); }, bytes::GetBe24,
         0xF10203, {0xF1, 0x02, 0x03}},
        {"Be32", [](std::uint8_t* p, std::uint64_t v) { bytes::PutBe32(p, std::uint32_t(v)); }, bytes::GetBe32,
         0xF1020304, {0xF1, 0x02, 0x03, 0x04}},
        {"Be64", [](std::uint8_t* p, std::uint64_t v) { bytes::PutBe64(p, v); }, bytes::GetBe64,
         0xF102030405060708, {0xF1, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}},
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.name);
        std::array<std::uint8_t, 12> buffer;
        buffer.fill(kAround);
        f.put(buffer.data() + 2, f.value);
        const std::vector<std::uint8_t> written(buffer.begin() + 2, buffer.begin() + 2 + f.bytes.size());
        EXPECT_EQ(written, f.bytes);
        EXPECT_EQ(buffer[1], kAround);
        EXPECT_EQ(buffer[2 + f.bytes.size()], kAround);
        // The top byte has its high bit set: a reader that widened through
        // a signed type would fill the upper bits.
        EXPECT_EQ(f.get(buffer.data() + 2), f.value);
    }
}

TEST(ByteOrder, WritersKeepTheLowBitsOfAWiderValue) {
    std::uint8_t buffer[3] = {};
    bytes::PutBe24(buffer, 0xAB123456);
    EXPECT_EQ(bytes::GetBe24(buffer), 0x123456u);
    bytes::PutLe24(buffer, 0xAB654321);
    EXPECT_EQ(bytes::GetLe24(buffer), 0x654321u);
    static_assert(bytes::GetBe16(std::array<std::uint8_t, 2>{0xFF, 0xFE}.data()) == 0xFFFE);
}

}  // namespace
