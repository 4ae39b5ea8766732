#include "program/diag/tracked_alloc.h"

#include <cstdint>
#include <cstring>

#include "log_fixture.h"

namespace dravik::test {
namespace {

using diag::AddressText;
using diag::TrackedAlloc;
using diag::TrackedFree;

std::uint32_t WordAt(const void* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

class TrackedAllocTest : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        diag::SetHeapFaultHandler([this](const std::string& what) { faults_.push_back(what); });
    }
    void TearDown() override {
        diag::SetHeapFaultHandler(nullptr);
        diag::SetAllocationFailureNotifier(nullptr);
        LogFixture::TearDown();
    }
    std::vector<std::string> TextOfLines() {
        std::vector<std::string> texts;
        for (const std::string& line : LogLines()) texts.push_back(HasTimeStamp(line) ? line.substr(13) : line);
        return texts;
    }
    std::vector<std::string> faults_;
};

TEST_F(TrackedAllocTest, WithoutTrackingNothingIsLoggedOrGuarded) {
    void* block = TrackedAlloc(100, "reader.cpp", 10);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 100);
    EXPECT_EQ(diag::LiveGuardedBlocks(), 0u);
    TrackedFree(block, "reader.cpp", 11);
    EXPECT_EQ(LogText(), "");
}

TEST_F(TrackedAllocTest, TrackedBlockCarriesGuardWordsAndLogsBothEnds) {
    diag::TrackAllocations = true;
    auto* block = static_cast<unsigned char*>(TrackedAlloc(10, "reader.cpp", 42));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(WordAt(block - 16), 0x12345678u);
    EXPECT_EQ(WordAt(block - 12), 10u);
    EXPECT_EQ(WordAt(block - 8), 0xFEFEFEFEu);
    EXPECT_EQ(WordAt(block - 4), 0xFEFEFEFEu);
    EXPECT_EQ(WordAt(block + 10), 0xFEFEFEFEu);
    EXPECT_EQ(WordAt(block + 14), 0xFEFEFEFEu);
    EXPECT_EQ(WordAt(block + 18), 0x12345678u);
    EXPECT_EQ(WordAt(block + 22), 0x12345678u);
    std::memset(block, 0, 10);  // the caller's bytes are all its own
    EXPECT_EQ(diag::LiveGuardedBlocks(), 1u);
    std::string address = AddressText(block);
    TrackedFree(block, "reader.cpp", 43);
    EXPECT_EQ(diag::LiveGuardedBlocks(), 0u);
    EXPECT_TRUE(faults_.empty());

    auto lines = TextOfLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Allocating memory: 10 bytes from line 42 in reader.cpp");
    EXPECT_EQ(lines[1], "Allocated memory at " + address);
    EXPECT_EQ(lines[2], "Freeing memory at " + address + " from line 43 in reader.cpp");
}

TEST_F(TrackedAllocTest, OverwrittenTrailerIsCaughtWithTheHeaderAddressAndTheBlockKept) {
    diag::TrackAllocations = true;
    auto* block = static_cast<unsigned char*>(TrackedAlloc(8, "udf.cpp", 7));
    ASSERT_NE(block, nullptr);
    block[8] = 0;  // one byte past the end: the first trailer word
    TrackedFree(block, "udf.cpp", 9);

    ASSERT_EQ(faults_.size(), 1u);
    EXPECT_EQ(diag::LiveGuardedBlocks(), 1u);  // not released
    std::string header = AddressText(block - 16);
    auto lines = TextOfLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Error freeing storage from udf.cpp line 9: storage at " + header);

    block[8] = 0xFE;  // repaired, it can go
    TrackedFree(block, "udf.cpp", 10);
    EXPECT_EQ(diag::LiveGuardedBlocks(), 0u);
    EXPECT_EQ(faults_.size(), 1u);
}

TEST_F(TrackedAllocTest, DamagedHeaderOrSizeWordIsCaughtWithoutReadingOutsideTheBlock) {
    diag::TrackAllocations = true;
    auto* block = static_cast<unsigned char*>(TrackedAlloc(4, "hfs.cpp", 1));
    ASSERT_NE(block, nullptr);
    std::uint32_t hugeSize = 0x7FFFFFF0;
    std::memcpy(block - 12, &hugeSize, 4);  // an underrun hit the size word
    TrackedFree(block, "hfs.cpp", 2);
    ASSERT_EQ(faults_.size(), 1u);
    EXPECT_NE(LogText().find("Error freeing storage from hfs.cpp line 2: storage at " + AddressText(block - 16)),
              std::string::npos);
    std::uint32_t size = 4;
    std::memcpy(block - 12, &size, 4);
    TrackedFree(block, "hfs.cpp", 3);
    EXPECT_EQ(diag::LiveGuardedBlocks(), 0u);
}

TEST_F(TrackedAllocTest, HeapCheckFindsDamageInAnotherLiveBlock) {
    diag::TrackAllocations = true;
    auto* victim = static_cast<unsigned char*>(TrackedAlloc(16, "iso.cpp", 100));
    ASSERT_NE(victim, nullptr);
    victim[-1] = 0x00;  // an underrun into the header
    void* other = TrackedAlloc(16, "iso.cpp", 200);  // runs the heap check
    ASSERT_NE(other, nullptr);
    ASSERT_GE(faults_.size(), 1u);
    EXPECT_NE(LogText().find("Heap check failed: storage at " + AddressText(victim - 16)), std::string::npos);

    victim[-1] = static_cast<char>(0xFE);
    faults_.clear();
    TrackedFree(other, "iso.cpp", 201);
    TrackedFree(victim, "iso.cpp", 101);
    EXPECT_TRUE(faults_.empty());
    EXPECT_EQ(diag::LiveGuardedBlocks(), 0u);
}

TEST_F(TrackedAllocTest, BlocksFromBeforeTrackingWasOnAreReleasedPlainly) {
    void* plain = TrackedAlloc(32, "shell.cpp", 5);
    diag::TrackAllocations = true;
    TrackedFree(plain, "shell.cpp", 6);
    EXPECT_TRUE(faults_.empty());
}

int g_failures = 0;
void CountFailure() { ++g_failures; }

TEST_F(TrackedAllocTest, AFailedAllocationTellsTheUserAndLogsTheSizeWithGuards) {
    diag::TrackAllocations = true;
    diag::SetAllocationFailureNotifier(&CountFailure);
    g_failures = 0;
    std::size_t tooBig = 0xFFFFFFF0u;  // cannot be described in the 32-bit header
    EXPECT_EQ(TrackedAlloc(tooBig, "scan.cpp", 77), nullptr);
    EXPECT_EQ(g_failures, 1);
    auto lines = TextOfLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "Error allocating storage from scan.cpp, line 77, size=" + std::to_string(tooBig + 32));
}

// The "fast" (fork) style keeps the parent's temporary log path in the child.
TEST(TrackedAllocDeathTest, DamagedGuardEndsTheProgramByDefault) {
    TempDir dir;
    diag::SetLogPath(dir.File("death.DBG"));
    EXPECT_DEATH(
        {
            diag::DebugMode = true;
            diag::TrackAllocations = true;
            auto* block = static_cast<unsigned char*>(TrackedAlloc(8, "death.cpp", 1));
            block[9] = 0;
            TrackedFree(block, "death.cpp", 2);
        },
        "damaged guard words");
    // The child logged before it ended.
    EXPECT_NE(dir.Read("death.DBG").find("Error freeing storage from death.cpp line 2"), std::string::npos);
}

}  // namespace
}  // namespace dravik::test
