// The UDF reader on a real volume whose descriptors, identifiers, File
// Entries and allocation descriptors are mutated at random (with the tag
// checksum made right again most of the time, so the damage gets past the
// tag check): the scan must end, must read no block outside the volume,
// and must run clean under the sanitizers; the same goes for working out
// the found files' data for extraction.
#include <random>
#include <set>

#include "platform/byte_order.h"
#include "program/readers/udf/udf_tags.h"
#include "program/scan/file_systems.h"
#include "program/settings/settings.h"
#include "support/udf_builder.h"
#include "udf_fixture.h"

namespace dravik::test {
namespace {

constexpr int kRounds = 150;
constexpr std::size_t kMaxReadsPerScan = 50000;  // far more than the clean volume needs

void CollectTargets(const scan::FoundItem* dir, std::set<std::int32_t>& blocks, int depth) {
    for (const scan::FoundItem* item = dir->firstChild; item && depth < 32; item = item->next) {
        if (item->fsId != 0) blocks.insert(static_cast<std::int32_t>(item->fsId));
        if (item->flags & scan::ItemDirectory) {
            if (item->start > 0) {
                blocks.insert(item->start);
                blocks.insert(item->start + 1);
            }
            CollectTargets(item, blocks, depth + 1);
        }
    }
}

class UdfHostileInputTest : public UdfReaderTest {};

TEST_F(UdfHostileInputTest, MutatedStructuresNeitherEscapeTheVolumeNorHang) {
    UdfImageKind kind = UdfImageKind::kPlain;
    if (BuiltUdfImage(kind).skip) kind = UdfImageKind::kBridge;
    REQUIRE_UDF_IMAGE(kind, image);
    scan::TrackNode* track = ScanImage(image.path);
    ASSERT_TRUE(lastRead_);
    ImageBytes clean(image.path);

    // Anchors, both descriptor sequences, the file set descriptor, every
    // File Entry and the first blocks of every directory.
    std::set<std::int32_t> targets = {256, blocks_ - 1, static_cast<std::int32_t>(track->rootItem->fsId)};
    for (const std::int32_t anchor : {256, blocks_ - 1}) {
        const std::uint8_t* avdp = clean.Block(anchor);
        for (const std::size_t field : {16u, 24u}) {
            const std::uint32_t length = bytes::GetLe32(avdp + field) / 2048;
            const std::uint32_t location = bytes::GetLe32(avdp + field + 4);
            for (std::uint32_t i = 0; i < length && i < 32; ++i) targets.insert(static_cast<std::int32_t>(location + i));
        }
    }
    targets.insert(static_cast<std::int32_t>(track->udfBlock + bytes::GetLe32(clean.Block(track->rootItem->extents.block) + 252)));
    CollectTargets(track->rootItem, targets, 0);
    const std::vector<std::int32_t> candidates(targets.begin(), targets.end());

    std::mt19937 random(1717);
    const std::uint8_t specials[] = {0x00, 0xFF, 0x80, 0x7F, 0x01, 0xFE};
    const scan::FileSystemReader* udf = scan::FindFileSystem(scan::FileSystemKind::kUdf);
    ASSERT_TRUE(udf && udf->fileData && udf->openFile);
    for (int round = 0; round < kRounds; ++round) {
        served_->ClearOverrides();
        const int damaged = 1 + static_cast<int>(random() % 3);
        for (int d = 0; d < damaged; ++d) {
            const std::int32_t block = candidates[random() % candidates.size()];
            if (block < 0 || block >= blocks_) continue;
            std::vector<std::uint8_t> mutated(clean.Block(block), clean.Block(block) + 2048);
            const int changes = 1 + static_cast<int>(random() % 6);
            for (int c = 0; c < changes; ++c) {
                // Mostly the fixed fields and the first descriptors.
                const std::size_t at = random() % 4 == 0 ? random() % 2048 : random() % 256;
                mutated[at] = random() % 2 ? specials[random() % sizeof specials] : static_cast<std::uint8_t>(random());
            }
            if (random() % 4 != 0) mutated[4] = readers::udf::TagChecksum(mutated.data());
            served_->Override(block, mutated);
        }
        track = Rescan();
        std::vector<std::int32_t> reads = BlocksRead();
        EXPECT_LT(reads.size(), kMaxReadsPerScan) << "round " << round;

        // Working out the data of every file found stays inside too.
        if (track->rootItem) {
            const scan::ReadOneBlock read = [this, &reads](std::int64_t block, std::uint8_t* out) {
                reads.push_back(static_cast<std::int32_t>(block));
                return block >= 0 && block < blocks_ && device_->ReadCD(static_cast<int>(block), out, 1);
            };
            for (const auto& [path, item] : Paths(track)) {
                std::vector<scan::FileDataRun> runs;
                if (item->flags & scan::ItemDirectory) continue;
                udf->fileData(track->rootItem, item, read, runs);
                // And through the file cursor, as the extractor reads.
                std::string error;
                if (auto stream = udf->openFile(track->rootItem, item, read, error)) {
                    std::uint8_t data[2048];
                    std::size_t bytes = 0;
                    std::int64_t failed = 0;
                    for (int i = 0; i < 64 && stream->Next(data, bytes, failed) != scan::FileDataStream::Result::kEnded; ++i)
                        ASSERT_LE(bytes, 2048u);
                }
            }
        }
        for (const std::int32_t block : reads) {
            ASSERT_GE(block, 0) << "round " << round;
            ASSERT_LT(block, blocks_) << "round " << round;
        }
    }
}

// The block scan's recognisers: mutated copies of File Entry and File
// Identifier blocks dropped anywhere in the free part of the partition,
// read with the block scan asked for. Nothing found may lead a read
// outside the volume, and the scan ends.
TEST_F(UdfHostileInputTest, MutatedEntriesAnywhereInThePartitionSurviveTheBlockScan) {
    constexpr int32_t kBlocks = 600;
    constexpr uint32_t kPartition = 300;
    constexpr uint32_t kFirstFree = 20;
    UdfBuilder udf(kBlocks, kPartition);
    UdfVolume volume;
    volume.partitionStart = kPartition;
    volume.partitionLength = kBlocks - kPartition;
    udf.Anchor(256, volume);
    udf.Sequence(volume.mainSequence, volume);
    udf.Sequence(volume.reserveSequence, volume);
    udf.FileSet(0, 1);
    udf.Entry(3, {.size = 3000, .extents = {{4}}});
    udf.Entry(6, {.size = 5000, .kind = UdfData::kLong, .extents = {{7, 4096}, {9, 904}}});
    udf.Entry(10, {.size = 12, .kind = UdfData::kEmbedded, .embedded = std::vector<uint8_t>(12, 'e')});
    const uint32_t subBytes = udf.Directory(12, {{"", 1, 0x0A}, {"x", 3}, {"y", 6}});
    udf.Entry(11, {.directory = true, .size = subBytes, .extents = {{12}}});
    udf.Entry(1, {.directory = true,
                  .size = udf.Directory(2, {{"", 1, 0x0A}, {"a", 3}, {"b", 6}, {"c", 10}, {"d", 11, 0x02}}),
                  .extents = {{2}}});
    DiscBuilder disc(out_, "fuzz");
    udf.WriteTo(disc, disc.Track(TrackKind::kMode1, kBlocks));
    Insert(disc);
    blocks_ = kBlocks;
    settings::ProgramSettings.IntensiveScan = 1;
    settings::ProgramSettings.PromptSuppress = 1;
    const std::vector<uint32_t> sources = {1, 2, 3, 6, 10, 11, 12};

    std::mt19937 random(2024);
    const scan::FileSystemReader* reader = scan::FindFileSystem(scan::FileSystemKind::kUdf);
    ASSERT_TRUE(reader && reader->fileData);
    for (int round = 0; round < kRounds / 3; ++round) {
        served_->ClearOverrides();
        const int placed = 1 + static_cast<int>(random() % 4);
        for (int p = 0; p < placed; ++p) {
            const uint32_t source = sources[random() % sources.size()];
            const int32_t at = udf.Absolute(kFirstFree + random() % (kBlocks - kPartition - kFirstFree));
            std::vector<uint8_t> mutated(udf.Block(udf.Absolute(source)), udf.Block(udf.Absolute(source)) + 2048);
            const int changes = 1 + static_cast<int>(random() % 8);
            for (int c = 0; c < changes; ++c) {
                const std::size_t where = random() % 3 == 0 ? random() % 2048 : 16 + random() % 240;
                mutated[where] = static_cast<uint8_t>(random());
            }
            if (random() % 4 != 0) mutated[4] = readers::udf::TagChecksum(mutated.data());
            served_->Override(at, mutated);
        }
        scan::TrackNode* track = Rescan();
        std::vector<std::int32_t> reads = BlocksRead();
        EXPECT_LT(reads.size(), kMaxReadsPerScan) << "round " << round;
        ASSERT_NE(track->rootItem, nullptr) << "round " << round;
        const scan::ReadOneBlock read = [this, &reads](std::int64_t block, std::uint8_t* out) {
            reads.push_back(static_cast<std::int32_t>(block));
            return block >= 0 && block < blocks_ && device_->ReadCD(static_cast<int>(block), out, 1);
        };
        for (const auto& [path, item] : Paths(track)) {
            std::vector<scan::FileDataRun> runs;
            if (!(item->flags & scan::ItemDirectory)) reader->fileData(track->rootItem, item, read, runs);
        }
        for (const std::int32_t block : reads) {
            ASSERT_GE(block, 0) << "round " << round;
            ASSERT_LT(block, blocks_) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace dravik::test
