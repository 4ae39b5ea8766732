// The shared ISO writer's structures, read back through the reader's own
// field offsets: the sample disc and every layout test rely on these.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/byte_order.h"
#include "program/iso_writer/iso_structures_writer.h"
#include "program/readers/iso9660/iso_structures.h"

namespace dravik::test {
namespace {

namespace iw = iso_writer;
namespace rd = readers::iso;

TEST(IsoWriter, DirectoryRecordsPadEvenIdentifiersAndKeepTheirLayoutsFlagsApart) {
    struct Row {
        std::string id;
        iw::RecordLayout layout;
        std::size_t systemUseAt;
        std::size_t flagsAt;
    } rows[] = {
        {"A.TXT;1", iw::RecordLayout::kIso9660, 40, rd::kDrFlags},          // odd: no padding byte
        {"DIRA", iw::RecordLayout::kIso9660, 38, rd::kDrFlags},             // even: one padding byte
        {std::string(1, '\0'), iw::RecordLayout::kHighSierra, 34, rd::kHsDrFlags},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        iw::RecordFields fields;
        fields.extent = 0x01020304;
        fields.length = 0x0A0B0C0D;
        fields.flags = iw::kFlagDirectory;
        fields.id = row.id;
        fields.systemUse = {'N', 'M'};
        const iw::Bytes r = iw::DirectoryRecord(fields, row.layout);
        ASSERT_EQ(r.size(), row.systemUseAt + 2);
        EXPECT_EQ(r[rd::kDrLength], r.size());
        EXPECT_EQ(rd::RecordExtent(r.data()), 0x01020304u);
        EXPECT_EQ(bytes::GetBe32(r.data() + rd::kDrExtent + 4), 0x01020304u);
        EXPECT_EQ(rd::RecordDataLength(r.data()), 0x0A0B0C0Du);
        EXPECT_EQ(r[row.flagsAt], iw::kFlagDirectory);
        EXPECT_EQ(std::string(r.begin() + rd::kDrId, r.begin() + rd::kDrId + row.id.size()), row.id);
        EXPECT_EQ(r[row.systemUseAt], 'N');
    }
    iw::RecordFields tooLong;
    tooLong.id = std::string(223, 'X');
    EXPECT_THROW(iw::DirectoryRecord(tooLong), std::length_error);
}

TEST(IsoWriter, VolumeDescriptorFieldsLieWhereTheReaderLooks) {
    iw::VolumeFields fields;
    fields.volumeId = "VOL";
    fields.volumeSpace = 300;
    fields.pathTableBytes = 22;
    fields.pathTableL = 28;
    fields.pathTableM = 29;
    fields.rootRecord = iw::DirectoryRecord({20, 2048, iw::kFlagDirectory, std::string(1, '\0'), {}, 1, {}});
    fields.publisherId = "";
    const iw::Bytes pvd = iw::VolumeDescriptor(fields);
    ASSERT_EQ(pvd.size(), iw::kBlockBytes);
    EXPECT_TRUE(rd::IsPrimaryDescriptor(pvd.data()));
    EXPECT_EQ(std::string(pvd.begin() + rd::kVdVolumeId, pvd.begin() + rd::kVdVolumeId + 32), "VOL" + std::string(29, ' '));
    EXPECT_EQ(bytes::GetLe32(pvd.data() + rd::kVdVolumeSpace), 300u);
    EXPECT_EQ(bytes::GetBe32(pvd.data() + rd::kVdVolumeSpace + 4), 300u);
    EXPECT_EQ(bytes::GetLe32(pvd.data() + rd::kVdPathTableL), 28u);
    EXPECT_EQ(bytes::GetBe32(pvd.data() + rd::kVdPathTableM), 29u);
    EXPECT_EQ(bytes::GetLe32(pvd.data() + rd::kVdRootExtent), 20u);
    EXPECT_EQ(pvd[rd::kVdRootFlags], iw::kFlagDirectory);
    EXPECT_EQ(pvd[318], ' ') << "a publisher given empty is spaces";
    EXPECT_EQ(pvd[190], 0) << "a volume set left out stays zero";
    EXPECT_TRUE(rd::IsTerminator(iw::SetTerminator().data()));
}

TEST(IsoWriter, PathTablesPadOddIdentifiersAndChooseTheirByteOrder) {
    const iw::Bytes little = iw::PathTable({{20, 1, std::string(1, '\0')}, {0x0102, 0x0304, "DIRAB"}}, false);
    const iw::Bytes big = iw::PathTable({{20, 1, std::string(1, '\0')}, {0x0102, 0x0304, "DIRAB"}}, true);
    ASSERT_EQ(little.size(), 10u + 14u);
    ASSERT_EQ(big.size(), little.size());
    EXPECT_EQ(bytes::GetLe32(little.data() + 10 + rd::kPtExtent), 0x0102u);
    EXPECT_EQ(bytes::GetLe16(little.data() + 10 + rd::kPtParent), 0x0304u);
    EXPECT_EQ(bytes::GetBe32(big.data() + 10 + rd::kPtExtent), 0x0102u);
    EXPECT_EQ(bytes::GetBe16(big.data() + 10 + rd::kPtParent), 0x0304u);
    EXPECT_THROW(iw::PackBlock({iw::Bytes(2000), iw::Bytes(49)}), std::length_error);
    EXPECT_EQ(iw::PackBlock({iw::Bytes(2000, 1), iw::Bytes(48, 2)}).size(), iw::kBlockBytes);
}

}  // namespace
}  // namespace dravik::test
