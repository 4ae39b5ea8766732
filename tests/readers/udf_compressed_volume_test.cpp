// Compressed UDF volumes scanned and copied out whole: a DirectCD volume
// (marked by its logical volume descriptor) whose file is zlib streams and
// whose other file is not, with and without the system's zlib, and a
// CeQuadrat volume (marked by its file set descriptor) whose file has a
// compressed extent.
#include <zlib.h>

#include "platform/byte_order.h"
#include "program/readers/udf/udf_file_cursor.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/zlib_module.h"
#include "support/udf_builder.h"
#include "udf_fixture.h"

namespace dravik::test {
namespace {

constexpr int32_t kBlocks = 600;
constexpr uint32_t kPartition = 300;

std::vector<uint8_t> Content(std::size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * seed + i / 61) % 253);
    return bytes;
}

std::vector<uint8_t> Deflated(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(data.size());
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), data.size(), 6), Z_OK);
    out.resize((size + 2047) / 2048 * 2048, 0);
    return out;
}

enum class Compression { kDirectCd, kCeQuadrat };

class UdfCompressedVolumeTest : public UdfReaderTest {
protected:
    void TearDown() override {
        readers::udf::test_seams::SetZlibModuleName("");
        UdfReaderTest::TearDown();
    }

    // Root at partition block 1 with "tiny.txt" (embedded), "plain.txt"
    // (short descriptors) and "packed.bin", stored as `compression` does.
    scan::TrackNode* Scan(Compression compression) {
        UdfBuilder udf(kBlocks, kPartition);
        UdfVolume volume;
        volume.partitionStart = kPartition;
        volume.partitionLength = kBlocks - kPartition;
        if (compression == Compression::kDirectCd) volume.implementation = "*Adaptec DirectCD";
        udf.Anchor(256, volume);
        udf.Sequence(volume.mainSequence, volume);
        udf.Sequence(volume.reserveSequence, volume);
        udf.FileSet(0, 1);
        udf.Entry(3, {.size = tiny_.size(), .kind = UdfData::kEmbedded, .embedded = tiny_});
        udf.Entry(4, {.size = plain_.size(), .extents = {{10}}});
        udf.Data(10, plain_);
        if (compression == Compression::kDirectCd) {
            const auto data = Deflated(packed_);
            udf.Data(20, data);
            udf.Entry(5, {.size = packed_.size(), .extents = {{20, static_cast<uint32_t>(data.size())}}});
            // DirectCD marks a compressed volume with its own tag on the
            // logical volume descriptors.
            for (const int32_t sequence : {volume.mainSequence, volume.reserveSequence}) {
                bytes::PutLe16(udf.Block(sequence + 2), readers::udf::kTagDirectCdLogical);
                udf.Reseal(sequence + 2);
            }
        } else {
            // 4000 bytes: a literal of 40, then runs and references.
            std::vector<uint8_t> commands = {0x50, 0x48, 0x01, 0x00, 40};
            commands.insert(commands.end(), packed_.begin(), packed_.begin() + 40);
            for (std::size_t done = 40; done < packed_.size(); done += 60)
                commands.insert(commands.end(), {0x80 | 60, 40, 0});
            udf.Data(20, commands);
            udf.Entry(5, {.size = packed_.size(),
                          .kind = UdfData::kLong,
                          .extents = {{20, static_cast<uint32_t>(packed_.size()), 0, 1,
                                       static_cast<uint32_t>(commands.size())}}});
            bytes::PutLe16(udf.Block(udf.Absolute(0)), readers::udf::kTagCompressedFileSet);
            udf.Reseal(udf.Absolute(0));
        }
        const uint32_t rootBytes =
            udf.Directory(2, {{"", 1, 0x0A}, {"tiny.txt", 3}, {"plain.txt", 4}, {"packed.bin", 5}});
        udf.Entry(1, {.directory = true, .size = rootBytes, .extents = {{2, rootBytes}}});
        DiscBuilder disc(out_, compression == Compression::kDirectCd ? "directcd" : "cequadrat");
        disc.Medium("cd-rw");
        udf.WriteTo(disc, disc.Track(TrackKind::kMode1, kBlocks));
        Insert(disc);
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, kBlocks);
        AddLeadOut(kBlocks);
        EXPECT_TRUE(Read(track));
        return track;
    }

    static const extract::FileReport* Report(const extract::ExtractSummary& summary, const std::string& name) {
        for (const extract::FileReport& file : summary.files)
            if (file.discPath.size() >= name.size() && file.discPath.ends_with("/" + name)) return &file;
        return nullptr;
    }

    const std::vector<uint8_t> tiny_ = Content(30, 3);
    const std::vector<uint8_t> plain_ = Content(2500, 5);
    std::vector<uint8_t> packed_ = [] {
        // The CeQuadrat commands repeat the first 40 bytes; zlib takes any.
        std::vector<uint8_t> bytes(4000);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i % 40) * 7 + 1);
        return bytes;
    }();
};

TEST_F(UdfCompressedVolumeTest, CompressedFilesAreExpandedWhenCopied) {
    struct Case {
        Compression compression;
        std::uint32_t flags;
    };
    const Case cases[] = {{Compression::kDirectCd, scan::TrackCompressed | scan::TrackDirectCdCompressed},
                          {Compression::kCeQuadrat, scan::TrackCompressed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.compression == Compression::kDirectCd ? "DirectCD" : "CeQuadrat");
        scan::TrackNode* track = Scan(c.compression);
        ASSERT_NE(track->rootItem, nullptr);
        EXPECT_EQ(track->flags & (scan::TrackCompressed | scan::TrackDirectCdCompressed), c.flags);
        extract::ExtractSummary summary;
        const std::string folder = ExtractAll(track, summary);
        EXPECT_TRUE(summary.AllWhole());
        EXPECT_EQ(summary.Count(extract::FileOutcome::kWritten), 3);
        EXPECT_EQ(FileText(folder + "/packed.bin"), std::string(packed_.begin(), packed_.end()));
        EXPECT_EQ(FileText(folder + "/plain.txt"), std::string(plain_.begin(), plain_.end()));
        EXPECT_EQ(FileText(folder + "/tiny.txt"), std::string(tiny_.begin(), tiny_.end()));
        std::string implementation;
        const readers::udf::ReadBlockFunction read = [this](std::int64_t block, std::uint8_t* out) {
            return device_->ReadCD(static_cast<int>(block), out, 1);
        };
        EXPECT_TRUE(readers::udf::UdfImplementationId(track->rootItem, read, implementation));
        EXPECT_EQ(implementation, c.compression == Compression::kDirectCd ? "Adaptec DirectCD" : "Dravik tests");
    }
}

TEST_F(UdfCompressedVolumeTest, WithoutZlibTheCompressedFileIsReportedAndTheRestCopied) {
    readers::udf::test_seams::SetZlibModuleName("libz-not-on-this-system.so.1");
    scan::TrackNode* track = Scan(Compression::kDirectCd);
    ASSERT_NE(track->rootItem, nullptr);
    extract::ExtractSummary summary;
    const std::string folder = ExtractAll(track, summary);
    EXPECT_FALSE(summary.AllWhole());
    const extract::FileReport* packed = Report(summary, "packed.bin");
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(packed->outcome, extract::FileOutcome::kFailed);
    EXPECT_NE(packed->error.find("libz.so.1"), std::string::npos) << packed->error;
    EXPECT_FALSE(std::filesystem::exists(folder + "/packed.bin"));
    // Data kept in the File Entry, and a small file that is not zlib data,
    // need no zlib.
    EXPECT_EQ(FileText(folder + "/tiny.txt"), std::string(tiny_.begin(), tiny_.end()));
    EXPECT_EQ(FileText(folder + "/plain.txt"), std::string(plain_.begin(), plain_.end()));
    EXPECT_EQ(summary.Count(extract::FileOutcome::kWritten), 2);
}

}  // namespace
}  // namespace dravik::test
