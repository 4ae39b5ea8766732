// The UDF reader on volumes real tools made: every file found by path and
// size and copied out byte for byte, on a clean volume and on volumes the
// test damages the way discs get damaged.
#include <fstream>
#include <functional>

#include "platform/byte_order.h"
#include "udf_fixture.h"

namespace dravik::test {
namespace {

using bytes::GetLe16;
using bytes::GetLe32;

// Path -> size of the files a scan found, without entries named by
// deleted identifiers (the kernel keeps those in the directory).
std::map<std::string, std::uint32_t> LiveFiles(const std::map<std::string, const scan::FoundItem*>& paths) {
    std::map<std::string, std::uint32_t> sizes;
    for (const auto& [path, item] : paths)
        if (!(item->flags & (scan::ItemDirectory | scan::ItemDeleted))) sizes[path] = item->size;
    return sizes;
}

class UdfCleanImageTest : public UdfReaderTest, public ::testing::WithParamInterface<UdfImageKind> {};

TEST_P(UdfCleanImageTest, EveryFileIsFoundAndCopiedWhole) {
    REQUIRE_UDF_IMAGE(GetParam(), image);
    scan::TrackNode* track = ScanImage(image.path);
    ASSERT_TRUE(lastRead_);
    EXPECT_TRUE(track->flags & scan::TrackUdf);
    EXPECT_FALSE(track->flags & scan::TrackIso);
    EXPECT_EQ(LiveFiles(Paths(track)), UdfTestFiles());
    if (GetParam() == UdfImageKind::kSparable) {
        EXPECT_TRUE(track->flags & scan::TrackSparing);
        EXPECT_FALSE(track->flags & scan::TrackNoSparingTable);
    }
    const auto paths = Paths(track);
    if (GetParam() != UdfImageKind::kBridge) {
        // The kernel put the large file around a hole and kept the tiny one in its entry.
        EXPECT_TRUE(paths.at("Docs/big.bin")->flags & scan::ItemFragmented);
        EXPECT_EQ(paths.at("tiny.txt")->start, static_cast<std::int32_t>(paths.at("tiny.txt")->fsId));
        // The removed folder's identifier stays in the directory, marked deleted.
        ASSERT_EQ(paths.count("filler"), 1u);
        EXPECT_TRUE(paths.at("filler")->flags & scan::ItemDeleted);
    }
    extract::ExtractSummary summary;
    const std::string folder = ExtractAll(track, summary);
    // The kernel keeps the removed folder's identifier, marked deleted:
    // it is reported missing, every other file is written whole.
    EXPECT_EQ(summary.Count(extract::FileOutcome::kWritten), static_cast<int>(UdfTestFiles().size()));
    for (const auto& [path, size] : UdfTestFiles())
        EXPECT_TRUE(FileText(folder + "/" + path) == UdfTestContent(path, size)) << path;
}

INSTANTIATE_TEST_SUITE_P(Images, UdfCleanImageTest,
                         ::testing::Values(UdfImageKind::kBridge, UdfImageKind::kPlain, UdfImageKind::kSparable),
                         [](const auto& info) {
                             switch (info.param) {
                                 case UdfImageKind::kBridge: return "GenisoimageBridge";
                                 case UdfImageKind::kPlain: return "KernelWrittenPlain";
                                 case UdfImageKind::kSparable: return "KernelWrittenSparable";
                             }
                             return "";
                         });

// What the clean scan showed, for the damage to aim at.
struct Clean {
    explicit Clean(const std::string& path) : image(path) {}
    ImageBytes image;
    std::map<std::string, const scan::FoundItem*> items;
    std::int64_t partitionStart = 0;
    std::int64_t lvdBlock = 0;
    std::int64_t rootEntry = 0;
};

struct Damage {
    std::map<std::int32_t, std::vector<std::uint8_t>> blocks;
    std::vector<std::int32_t> unreadable;
};

std::vector<std::uint8_t> Zeros() { return std::vector<std::uint8_t>(2048, 0); }
std::vector<std::uint8_t> Copy(Clean& c, std::int64_t block) {
    return std::vector<std::uint8_t>(c.image.Block(block), c.image.Block(block) + 2048);
}
std::vector<std::uint8_t> BadChecksum(Clean& c, std::int64_t block) {
    std::vector<std::uint8_t> bytes = Copy(c, block);
    bytes[4] ^= 0x5A;
    return bytes;
}

// The absolute block holding byte `offset` of a directory whose entry
// (short or long descriptors, as the kernel writes them) is at `entry`.
std::int64_t BlockOfOffset(Clean& c, std::int64_t entry, std::uint64_t offset) {
    const std::uint8_t* fe = c.image.Block(entry);
    const bool extended = GetLe16(fe) == 266;
    const std::uint32_t ea = GetLe32(fe + (extended ? 208 : 168));
    const std::uint32_t ads = GetLe32(fe + (extended ? 212 : 172));
    const std::uint8_t* ad = fe + (extended ? 216 : 176) + ea;
    const std::uint32_t step = (fe[34] & 3) == 1 ? 16 : 8;
    for (std::uint32_t at = 0; at + step <= ads; at += step) {
        const std::uint32_t length = GetLe32(ad + at) & 0x3FFFFFFF;
        if (offset < length) return c.partitionStart + GetLe32(ad + at + 4) + offset / 2048;
        offset -= length;
    }
    return -1;
}

// Points the identifier named `name` in the directory whose entry (data
// embedded, as the kernel keeps small directories) is at `entry` at the
// File Entry of logical block `target`.
Damage Relink(Clean& c, std::int64_t entry, const std::string& name, std::uint32_t target) {
    std::vector<std::uint8_t> fe = Copy(c, entry);
    const bool extended = GetLe16(fe.data()) == 266;
    const std::size_t start = (extended ? 216 : 176) + GetLe32(fe.data() + (extended ? 208 : 168));
    const std::size_t end = start + GetLe32(fe.data() + (extended ? 212 : 172));
    for (std::size_t at = start; at + 38 <= end && GetLe16(fe.data() + at) == 257;) {
        const std::size_t nameLength = fe[at + 19];
        const std::size_t use = GetLe16(fe.data() + at + 36);
        const std::string fidName(reinterpret_cast<const char*>(fe.data() + at + 38 + use + 1),
                                  nameLength > 0 ? nameLength - 1 : 0);
        if (fidName == name) {
            for (int i = 0; i < 4; ++i) fe[at + 24 + i] = static_cast<std::uint8_t>(target >> (8 * i));
            return Damage{{{static_cast<std::int32_t>(entry), fe}}, {}};
        }
        at += (38 + use + nameLength + 3) & ~std::size_t{3};
    }
    ADD_FAILURE() << name << " not found in the directory at " << entry;
    return {};
}

std::uint32_t Logical(Clean& c, const std::string& path) {
    return static_cast<std::uint32_t>(c.items.at(path)->fsId - c.partitionStart);
}

struct DamageCase {
    const char* name;
    UdfImageKind kind;
    std::function<Damage(Clean&)> make;
    std::set<std::string> missing;  // files that must show as missing
    bool directoryCut = false;      // "Many" loses the entries after its unreadable block
    std::set<std::string> absent;   // files no directory reaches any more
    std::function<void(const scan::TrackNode*, const std::map<std::string, const scan::FoundItem*>&)> check = {};
};

const DamageCase kDamageCases[] = {
    {"AnchorAt256Zeroed", UdfImageKind::kPlain, [](Clean&) { return Damage{{{256, Zeros()}}, {}}; }, {}},
    {"AnchorAtEndZeroed", UdfImageKind::kPlain,
     [](Clean& c) { return Damage{{{static_cast<std::int32_t>(c.image.Blocks() - 1), Zeros()}}, {}}; }, {}},
    // The Linux kernel refuses this volume.
    {"MainLogicalVolumeChecksumWrong", UdfImageKind::kPlain,
     [](Clean& c) { return Damage{{{static_cast<std::int32_t>(c.lvdBlock), BadChecksum(c, c.lvdBlock)}}, {}}; }, {}},
    {"FileSetDescriptorZeroed", UdfImageKind::kPlain,
     [](Clean& c) {
         const std::int64_t fsd = c.partitionStart + GetLe32(c.image.Block(c.lvdBlock) + 252);
         return Damage{{{static_cast<std::int32_t>(fsd), Zeros()}}, {}};
     },
     {}},
    {"OneFileEntryChecksumWrong", UdfImageKind::kPlain,
     [](Clean& c) {
         const std::int64_t entry = c.items.at("gap.bin")->fsId;
         return Damage{{{static_cast<std::int32_t>(entry), BadChecksum(c, entry)}}, {}};
     },
     {"gap.bin"}},
    {"DirectoryExtentUnreadable", UdfImageKind::kPlain,
     [](Clean& c) {
         const std::int64_t block = BlockOfOffset(c, c.items.at("Many")->fsId, 2048);
         return Damage{{}, {static_cast<std::int32_t>(block)}};
     },
     {}, true, {},
     // The folder shows that it was not read completely; the others do not.
     [](const scan::TrackNode*, const std::map<std::string, const scan::FoundItem*>& found) {
         EXPECT_TRUE(found.at("Many")->flags & scan::ItemIncomplete);
         for (const auto& [path, item] : found)
             if (path != "Many") EXPECT_FALSE(item->flags & scan::ItemIncomplete) << path;
     }},
    // Every File Entry fails its tag check: the tree is read again with
    // checksums ignored.
    {"EveryFileEntryChecksumWrong", UdfImageKind::kPlain,
     [](Clean& c) {
         Damage damage;
         for (const auto& [path, item] : c.items) damage.blocks[static_cast<std::int32_t>(item->fsId)] = BadChecksum(c, item->fsId);
         damage.blocks[static_cast<std::int32_t>(c.rootEntry)] = BadChecksum(c, c.rootEntry);
         return damage;
     },
     {}, false, {},
     [](const scan::TrackNode* track, const std::map<std::string, const scan::FoundItem*>&) {
         EXPECT_TRUE(track->flags & scan::TrackChecksumRecycled);
     }},
    // "Docs" lists itself in the place of "Deep".
    {"DirectoryListsItself", UdfImageKind::kPlain,
     [](Clean& c) { return Relink(c, c.items.at("Docs")->fsId, "Deep", Logical(c, "Docs")); },
     {}, false, {"Docs/Deep/Deeper/nested.txt"},
     [](const scan::TrackNode*, const std::map<std::string, const scan::FoundItem*>& found) {
         EXPECT_TRUE(found.at("Docs")->flags & scan::ItemSelfLink);
         EXPECT_EQ(found.count("Docs/Deep"), 0u);
     }},
    // "Deep" names "Docs" (its parent) as "Deeper": the loop is not followed.
    {"DirectoriesNameEachOther", UdfImageKind::kPlain,
     [](Clean& c) { return Relink(c, c.items.at("Docs/Deep")->fsId, "Deeper", Logical(c, "Docs")); },
     {}, false, {"Docs/Deep/Deeper/nested.txt"},
     [](const scan::TrackNode*, const std::map<std::string, const scan::FoundItem*>& found) {
         const scan::FoundItem* again = found.at("Docs/Deep/Deeper");
         EXPECT_TRUE(again->flags & scan::ItemDirectory);
         EXPECT_EQ(again->firstChild, nullptr);
     }},
    // The first sparing table is gone; the second one moves the packet
    // holding the large file's first block to a spare area whose blocks
    // hold its data, while the packet's own blocks read as zeros.
    {"FirstSparingTableZeroedSecondMovesAPacket", UdfImageKind::kSparable,
     [](Clean& c) {
         Damage damage;
         const std::uint8_t* map = c.image.Block(c.lvdBlock) + 440;
         const std::uint32_t packet = GetLe16(map + 40);
         const std::int64_t first = GetLe32(map + 48);
         const std::int64_t second = GetLe32(map + 52);
         damage.blocks[static_cast<std::int32_t>(first)] = Zeros();
         std::vector<std::uint8_t> table = Copy(c, second);
         const std::int64_t logical = c.items.at("Docs/big.bin")->start - c.partitionStart;
         const std::uint32_t packetStart = static_cast<std::uint32_t>(logical - logical % packet);
         const std::uint32_t mapped = GetLe32(table.data() + 56 + 4);
         for (int i = 0; i < 4; ++i) table[56 + i] = static_cast<std::uint8_t>(packetStart >> (8 * i));
         damage.blocks[static_cast<std::int32_t>(second)] = table;
         for (std::uint32_t k = 0; k < packet; ++k) {
             const std::int64_t original = c.partitionStart + packetStart + k;
             damage.blocks[static_cast<std::int32_t>(mapped + k)] = Copy(c, original);
             damage.blocks[static_cast<std::int32_t>(original)] = Zeros();
         }
         return damage;
     },
     {}},
};

void PrintTo(const DamageCase& damageCase, std::ostream* out) { *out << damageCase.name; }

class UdfDamagedImageTest : public UdfReaderTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(UdfDamagedImageTest, EveryReachableFileIsStillFoundAndCopied) {
    const DamageCase& damageCase = GetParam();
    REQUIRE_UDF_IMAGE(damageCase.kind, image);
    scan::TrackNode* track = ScanImage(image.path);
    ASSERT_TRUE(lastRead_);
    Clean clean(image.path);
    clean.items = Paths(track);
    clean.partitionStart = track->udfBlock;
    clean.lvdBlock = track->rootItem->extents.block;
    clean.rootEntry = track->rootItem->fsId;
    const Damage damage = damageCase.make(clean);
    for (const auto& [block, bytes] : damage.blocks) served_->Override(block, bytes);
    for (const std::int32_t block : damage.unreadable) served_->Fail(block);

    track = Rescan();
    ASSERT_TRUE(lastRead_);
    ASSERT_TRUE(track->flags & scan::TrackUdf);
    const auto found = Paths(track);
    extract::ExtractSummary summary;
    const std::string folder = ExtractAll(track, summary);
    int manyFound = 0;
    for (const auto& [path, size] : UdfTestFiles()) {
        const bool inMany = path.rfind("Many/", 0) == 0;
        const auto item = found.find(path);
        if (damageCase.absent.count(path)) {
            EXPECT_EQ(found.count(path), 0u) << path;
            continue;
        }
        if (damageCase.directoryCut && inMany) {
            if (item == found.end()) continue;
            ++manyFound;
        }
        ASSERT_NE(item, found.end()) << path;
        if (damageCase.missing.count(path)) {
            EXPECT_TRUE(item->second->flags & scan::ItemMissing) << path;
            continue;
        }
        EXPECT_EQ(item->second->size, size) << path;
        EXPECT_TRUE(FileText(folder + "/" + path) == UdfTestContent(path, size)) << path;
    }
    if (damageCase.directoryCut) {
        EXPECT_GT(manyFound, 0);
        EXPECT_LT(manyFound, static_cast<int>(std::count_if(UdfTestFiles().begin(), UdfTestFiles().end(),
                                                            [](const auto& f) { return f.first.rfind("Many/", 0) == 0; })));
    }
    if (damageCase.check) damageCase.check(track, found);
    if (damageCase.kind == UdfImageKind::kSparable) {
        EXPECT_FALSE(track->flags & scan::TrackNoSparingTable);
    }
}

INSTANTIATE_TEST_SUITE_P(Damage, UdfDamagedImageTest, ::testing::ValuesIn(kDamageCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dravik::test
