// The UDF reader on write-once volumes addressed through a VAT: empty
// volumes mkudffs makes for CD-R, and volumes the builder appends to
// packet by packet, each write with a new root directory, one more file
// and a new VAT that names the one before. Damaged variants must yield the
// newest tree an intact VAT still maps.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <fstream>
#include <functional>

#include "platform/byte_order.h"
#include "program/readers/udf/test_seams.h"
#include "support/kernel_udf_writer.h"
#include "support/udf_builder.h"
#include "udf_fixture.h"

namespace dravik::test {
namespace {

constexpr uint32_t kPartition = 300;
// Each write takes this many partition blocks, the first write from kFirst.
constexpr uint32_t kFirst = 10;
constexpr uint32_t kWriteBlocks = 30;

std::vector<uint8_t> Content(const std::string& name, std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(name[i % name.size()] + i / 5);
    return bytes;
}

std::string FileName(int write) { return "w" + std::to_string(write) + ".bin"; }
uint32_t FileSize(int write) { return 1000u + 700u * static_cast<uint32_t>(write); }

struct VatDisc {
    UdfBuilder udf{static_cast<int32_t>(kPartition + kFirst + kWriteBlocks * 4), kPartition};
    std::vector<uint32_t> vats;       // partition block of each write's VAT File Entry
    std::vector<uint32_t> rootEntries;  // of each write
    int32_t end = 0;                  // first absolute block after the last write
};

struct DiscOptions {
    int writes = 2;
    bool headerForm = true;
    bool absolutePrevious = false;  // previous-VAT pointers as absolute blocks
    bool embedded = false;
    // Files' data through short descriptors: virtual blocks that only the
    // VAT places (two from kDataVirtual + 2w), as packet writers record them.
    bool shortData = false;
};

constexpr uint32_t kDataVirtual = 40;
constexpr uint32_t kUnmapped = 0xFFFFFFFF;

// Virtual blocks: 0 the file set descriptor, 1 the root's entry, 2 its
// identifiers, 2 + w the entry of file w. Each write lays its blocks out
// in reverse order, so that a virtual block taken as a partition block
// lands on the wrong one.
VatDisc BuildVatDisc(const DiscOptions& options) {
    VatDisc disc;
    UdfVolume volume;
    volume.partitionStart = kPartition;
    volume.partitionLength = kFirst + kWriteBlocks * 4;
    volume.writeOnce = true;
    volume.fileSetReference = 1;
    volume.udfRevision = options.headerForm ? 0x0201 : 0x0150;
    disc.udf.Recognition(volume);
    disc.udf.Anchor(256, volume);
    disc.udf.Sequence(volume.mainSequence, volume);
    disc.udf.Sequence(volume.reserveSequence, volume);
    std::vector<uint32_t> map;
    std::vector<UdfFid> fids = {{"", 1, 0x0A, 0, 1}};
    for (int w = 1; w <= options.writes; ++w) {
        const uint32_t base = kFirst + kWriteBlocks * static_cast<uint32_t>(w - 1);
        // From the top of the write down: data, entry, identifiers, root, file set.
        const uint32_t data = base + 12, entry = base + 10, identifiers = base + 8, root = base + 6, fileSet = base + 4;
        // Descriptors the VAT addresses name their virtual blocks.
        disc.udf.RecordAs(entry, static_cast<uint32_t>(2 + w));
        disc.udf.RecordAs(identifiers, 2);
        disc.udf.RecordAs(root, 1);
        disc.udf.RecordAs(fileSet, 0);
        const auto bytes = Content(FileName(w), FileSize(w));
        disc.udf.Data(data, bytes);
        if (options.shortData) {
            disc.udf.Entry(entry, {.size = bytes.size(), .kind = UdfData::kShort,
                                   .extents = {{kDataVirtual + 2 * static_cast<uint32_t>(w)}}});
        } else {
            disc.udf.Entry(entry, {.size = bytes.size(), .kind = UdfData::kLong, .extents = {{data}}});
        }
        fids.push_back({FileName(w), static_cast<uint32_t>(2 + w), 0, 0, 1});
        const uint32_t dirBytes = disc.udf.Directory(identifiers, fids);
        disc.udf.Entry(root, {.directory = true, .size = dirBytes, .extents = {{2}}});
        if (w == 1) disc.udf.FileSet(fileSet, 1, "FILESET", 1);
        if (w == 1) map = {fileSet, root, identifiers};
        map[1] = root;
        map[2] = identifiers;
        map.push_back(entry);
        std::vector<uint32_t> entries = map;
        if (options.shortData) {
            entries.resize(kDataVirtual + 2 + 2 * static_cast<std::size_t>(options.writes), kUnmapped);
            for (uint32_t v = 1; v <= static_cast<uint32_t>(w); ++v) {
                const uint32_t dataOfWrite = kFirst + kWriteBlocks * (v - 1) + 12;
                entries[kDataVirtual + 2 * v] = dataOfWrite;
                entries[kDataVirtual + 2 * v + 1] = dataOfWrite + 1;
            }
        }
        UdfVat vat{.entries = entries, .headerForm = options.headerForm, .embedded = options.embedded};
        if (!disc.vats.empty())
            vat.previous = disc.vats.back() + (options.absolutePrevious ? kPartition : 0);
        const uint32_t vatEntry = disc.udf.Vat(base + 20, vat);
        disc.end = disc.udf.Absolute(vatEntry + 1);
        disc.vats.push_back(vatEntry);
        disc.rootEntries.push_back(root);
    }
    return disc;
}

std::map<std::string, std::uint32_t> TreeOf(int writes) {
    std::map<std::string, std::uint32_t> files;
    for (int w = 1; w <= writes; ++w) files[FileName(w)] = FileSize(w);
    return files;
}

class UdfVatTest : public UdfReaderTest {
protected:
    // Scans the builder's disc as one packet-written track ending after
    // the last write; `damage` changes the image first.
    scan::TrackNode* ScanDisc(VatDisc& disc, const std::vector<int32_t>& unreadable = {}) {
        DiscBuilder image(out_, "vat" + std::to_string(++discs_));
        image.Medium("cd-r");
        const int t = image.Track(TrackKind::kMode1, disc.udf.Blocks());
        disc.udf.WriteTo(image, t);
        Insert(image);
        for (const int32_t block : unreadable) served_->Fail(block);
        diag::DebugMode = true;
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, disc.end);
        track->flags |= scan::TrackPacket;
        AddLeadOut(disc.end);
        lastRead_ = Read(track);
        return track;
    }

    // Every file of the tree found by path and size and copied out whole.
    void ExpectTree(const scan::TrackNode* track, int writes) {
        ASSERT_TRUE(lastRead_);
        ASSERT_NE(track->rootItem, nullptr);
        std::map<std::string, std::uint32_t> found;
        for (const auto& [path, item] : Paths(track))
            if (!(item->flags & (scan::ItemDirectory | scan::ItemDeleted | scan::ItemMissing))) found[path] = item->size;
        EXPECT_EQ(found, TreeOf(writes));
        extract::ExtractSummary summary;
        const std::string folder = ExtractAll(track, summary);
        for (const auto& [path, size] : TreeOf(writes)) {
            const auto expected = Content(path, size);
            EXPECT_TRUE(FileText(folder + "/" + path) == std::string(expected.begin(), expected.end())) << path;
        }
    }

    int discs_ = 0;
};

// Both forms of the table, in blocks of their own or in the entry, and
// both previous-pointer conventions: the newest tree is read.
struct FormCase {
    const char* name;
    DiscOptions options;
};

class UdfVatFormTest : public UdfVatTest, public ::testing::WithParamInterface<FormCase> {};

TEST_P(UdfVatFormTest, NewestTreeIsReadThroughTheNewestVat) {
    VatDisc disc = BuildVatDisc(GetParam().options);
    scan::TrackNode* track = ScanDisc(disc);
    ExpectTree(track, GetParam().options.writes);
    EXPECT_EQ(track->vatBlock, disc.udf.Absolute(disc.vats.back()));
    EXPECT_EQ(track->vatFallbacks, 0);
    EXPECT_EQ(track->udfStage, 0);
    EXPECT_TRUE(LogHas("Found VAT at " + std::to_string(disc.udf.Absolute(disc.vats.back()))));
}

const FormCase kForms[] = {
    {"OlderFormTwoWrites", {.writes = 2, .headerForm = false}},
    {"OlderFormEmbedded", {.writes = 2, .headerForm = false, .embedded = true}},
    {"HeaderFormTwoWrites", {.writes = 2}},
    {"HeaderFormThreeWrites", {.writes = 3}},
    {"HeaderFormAbsolutePrevious", {.writes = 3, .absolutePrevious = true}},
    {"HeaderFormEmbedded", {.writes = 3, .embedded = true}},
    {"OlderFormShortDataDescriptors", {.writes = 2, .headerForm = false, .shortData = true}},
    {"HeaderFormShortDataDescriptors", {.writes = 3, .shortData = true}},
};

INSTANTIATE_TEST_SUITE_P(Forms, UdfVatFormTest, ::testing::ValuesIn(kForms),
                         [](const auto& info) { return std::string(info.param.name); });

// Damage to the newest write: the previous VAT's tree is read.
struct FallbackCase {
    const char* name;
    DiscOptions options;
    // Damages the disc; returns blocks to make unreadable.
    std::function<std::vector<int32_t>(VatDisc&)> damage;
    std::string logLine;
    int fallbacks = 0;
};

uint8_t* NewestVat(VatDisc& disc) { return disc.udf.Block(disc.udf.Absolute(disc.vats.back())); }

void SetVatSize(VatDisc& disc, uint64_t size) {
    bytes::PutLe64(NewestVat(disc) + 56, size);
    disc.udf.Reseal(disc.udf.Absolute(disc.vats.back()));
}

const FallbackCase kFallbacks[] = {
    {"NewestVatZeroed", {.writes = 3}, [](VatDisc& d) { std::fill_n(NewestVat(d), 2048, 0); return std::vector<int32_t>{}; }},
    {"NewestVatBadChecksum", {.writes = 3, .headerForm = false},
     [](VatDisc& d) { d.udf.BreakChecksum(d.udf.Absolute(d.vats.back())); return std::vector<int32_t>{}; }},
    {"LastPacketCutOff", {.writes = 2},
     [](VatDisc& d) {
         std::vector<int32_t> cut;
         for (int32_t b = d.udf.Absolute(kFirst + kWriteBlocks); b < d.end; ++b) cut.push_back(b);
         return cut;
     }},
    // The newest VAT loads, but its root's entry is lost: no file can be
    // read through it, and the VAT it names takes over.
    {"NewestRootLostRelativePrevious", {.writes = 3},
     [](VatDisc& d) {
         std::fill_n(d.udf.Block(d.udf.Absolute(d.rootEntries.back())), 2048, 0);
         return std::vector<int32_t>{};
     },
     "Trying to locate prior VAT due to errors...", 1},
    {"NewestRootLostAbsolutePrevious", {.writes = 3, .absolutePrevious = true},
     [](VatDisc& d) {
         std::fill_n(d.udf.Block(d.udf.Absolute(d.rootEntries.back())), 2048, 0);
         return std::vector<int32_t>{};
     },
     "Trying to locate prior VAT due to errors...", 1},
    // Sizes no VAT has: the search over the whole track finds the older
    // VATs, and the newest gives way.
    {"SizeZero", {.writes = 2}, [](VatDisc& d) { SetVatSize(d, 0); return std::vector<int32_t>{}; },
     "Switching to previous VAT at", 1},
    {"SizeFour", {.writes = 2}, [](VatDisc& d) { SetVatSize(d, 4); return std::vector<int32_t>{}; }, "", 1},
    {"Size35", {.writes = 2, .headerForm = false}, [](VatDisc& d) { SetVatSize(d, 35); return std::vector<int32_t>{}; },
     "", 1},
    {"Size36HeaderForm", {.writes = 2}, [](VatDisc& d) { SetVatSize(d, 36); return std::vector<int32_t>{}; }, "", 1},
    {"SizeHuge", {.writes = 2}, [](VatDisc& d) { SetVatSize(d, 0xFFFFFFFFu); return std::vector<int32_t>{}; }, "", 1},
    {"EmbeddedLargerThanItsEntry", {.writes = 2, .embedded = true},
     [](VatDisc& d) {
         bytes::PutLe64(NewestVat(d) + 64, 0);  // blocks recorded: no limit
         SetVatSize(d, 4000);
         return std::vector<int32_t>{};
     },
     "", 1},
    {"ExtentPastTheDisc", {.writes = 2},
     [](VatDisc& d) {
         bytes::PutLe32(NewestVat(d) + 176 + 4, 0x7FFFFF00u);
         d.udf.Reseal(d.udf.Absolute(d.vats.back()));
         return std::vector<int32_t>{};
     },
     "", 1},
};

class UdfVatFallbackTest : public UdfVatTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(UdfVatFallbackTest, PreviousVatsTreeIsRead) {
    const FallbackCase& c = GetParam();
    VatDisc disc = BuildVatDisc(c.options);
    const auto unreadable = c.damage(disc);
    scan::TrackNode* track = ScanDisc(disc, unreadable);
    ExpectTree(track, c.options.writes - 1);
    EXPECT_EQ(track->vatBlock, disc.udf.Absolute(disc.vats[disc.vats.size() - 2]));
    EXPECT_EQ(track->vatFallbacks, c.fallbacks);
    if (!c.logLine.empty()) {
        EXPECT_TRUE(LogHas(c.logLine)) << c.logLine;
    }
}

INSTANTIATE_TEST_SUITE_P(Damage, UdfVatFallbackTest, ::testing::ValuesIn(kFallbacks),
                         [](const auto& info) { return std::string(info.param.name); });

// Previous pointers that loop (to the VAT itself, or between two VATs)
// end the chain; with every root lost the reader stops with an empty tree.
TEST_F(UdfVatTest, LoopingPreviousPointersEnd) {
    for (const bool self : {true, false}) {
        VatDisc disc = BuildVatDisc({.writes = 2});
        const uint32_t newest = disc.vats.back();
        const uint32_t older = disc.vats.front();
        // The table lies in the block before each entry; its previous pointer at 132.
        bytes::PutLe32(disc.udf.Block(disc.udf.Absolute(older - 1)) + 132, self ? older : newest);
        bytes::PutLe32(disc.udf.Block(disc.udf.Absolute(newest - 1)) + 132, self ? newest : older);
        for (const uint32_t root : disc.rootEntries) std::fill_n(disc.udf.Block(disc.udf.Absolute(root)), 2048, 0);
        scan::TrackNode* track = ScanDisc(disc);
        ASSERT_TRUE(lastRead_) << self;
        ASSERT_NE(track->rootItem, nullptr);
        EXPECT_EQ(track->rootItem->firstChild, nullptr) << self;
        EXPECT_LE(track->vatFallbacks, 1) << self;
    }
}

// The older form is known by its trailing identifier: with three of its
// characters damaged the newest VAT is still taken, with five it is not
// a VAT and the search goes on to the previous one.
TEST_F(UdfVatTest, OlderFormIdentifierMayHaveThreeDamagedCharacters) {
    for (const int damaged : {3, 5}) {
        VatDisc disc = BuildVatDisc({.writes = 2, .headerForm = false});
        // The identifier follows the five entries and its flags byte.
        uint8_t* identifier = disc.udf.Block(disc.udf.Absolute(disc.vats.back() - 1)) + 5 * 4 + 1;
        ASSERT_EQ(identifier[0], '*');
        for (int i = 0; i < damaged; ++i) identifier[2 + 4 * i] = '#';
        scan::TrackNode* track = ScanDisc(disc);
        const bool taken = damaged == 3;
        ExpectTree(track, taken ? 2 : 1);
        EXPECT_EQ(track->vatBlock, disc.udf.Absolute(disc.vats[taken ? 1 : 0])) << damaged;
    }
}

// An open disc has one anchor, at 256; when it is lost, the volume
// descriptors are found where writers put them and the VAT at the end of
// the recorded area as usual.
TEST_F(UdfVatTest, LostAnchorOfAnOpenDisc) {
    VatDisc disc = BuildVatDisc({.writes = 2});
    std::fill_n(disc.udf.Block(256), 2048, 0);
    scan::TrackNode* track = ScanDisc(disc);
    ExpectTree(track, 2);
    EXPECT_EQ(track->vatBlock, disc.udf.Absolute(disc.vats.back()));
}

// A long packet-written track whose newest VAT is far from the end of the
// recorded area, so that only the intensive search finds it, with a link
// area of seven unreadable blocks after every 32-block packet.
class UdfLongTrackTest : public UdfVatTest {
protected:
    static constexpr int32_t kBlocks = 300000;
    static constexpr int32_t kLinksFrom = 1000;  // the packets before are whole
    static constexpr int32_t kLinksTo = 290000;
    static constexpr int32_t kPacket = 32 + 7;

    static bool InLinkArea(int32_t block) {
        return block >= kLinksFrom && block < kLinksTo && (block - kLinksFrom) % kPacket < 7;
    }

    // Writes the volume into a sparse image with the newest VAT moved to
    // `vatAt` (absolute); returns the track.
    scan::TrackNode* ScanLongTrack(int32_t vatAt) {
        VatDisc disc = BuildVatDisc({.writes = 2, .embedded = true});
        const int32_t newest = disc.udf.Absolute(disc.vats.back());
        std::vector<uint8_t> vat(disc.udf.Block(newest), disc.udf.Block(newest) + 2048);
        bytes::PutLe32(disc.udf.Block(newest) + 12, static_cast<uint32_t>(vatAt - static_cast<int32_t>(kPartition)));
        disc.udf.Reseal(newest);
        std::copy_n(disc.udf.Block(newest), 2048, vat.begin());
        std::fill_n(disc.udf.Block(newest), 2048, 0);
        const std::string path = out_.File("long.iso");
        {
            std::ofstream image(path, std::ios::binary);
            for (int32_t b = 0; b < disc.udf.Blocks(); ++b)
                image.write(reinterpret_cast<const char*>(disc.udf.Block(b)), 2048);
            image.seekp(std::streamoff{vatAt} * 2048);
            image.write(reinterpret_cast<const char*>(vat.data()), 2048);
        }
        std::filesystem::resize_file(path, std::uintmax_t{kBlocks} * 2048);
        Insert(path);
        for (int32_t b = kLinksFrom; b < kLinksTo; ++b)
            if (InLinkArea(b)) served_->Fail(b);
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, kBlocks);
        track->flags |= scan::TrackPacket;
        AddLeadOut(kBlocks);
        lastRead_ = Read(track);
        return track;
    }

    // Link-area blocks the reader asked for (the device library's own
    // retries of one read ask for the same block again).
    int FailedReads() const {
        std::set<int32_t> failed;
        for (const int32_t block : BlocksRead())
            if (InLinkArea(block)) failed.insert(block);
        return static_cast<int>(failed.size());
    }
    static constexpr int kLinkAreas = (kLinksTo - kLinksFrom + kPacket - 1) / kPacket;
};

TEST_F(UdfLongTrackTest, IntensiveSearchCostsOneFailedReadPerLinkArea) {
    const int32_t vatAt = kLinksFrom + 5000 * kPacket + 7 + 3;  // inside a packet
    ASSERT_FALSE(InLinkArea(vatAt));
    diag::DebugMode = false;
    scan::TrackNode* track = ScanLongTrack(vatAt);
    ExpectTree(track, 2);
    EXPECT_EQ(track->vatBlock, vatAt);
    EXPECT_LE(FailedReads(), kLinkAreas);
    EXPECT_GE(FailedReads(), kLinkAreas / 2) << "the search did not cover the track";
}

// After ten minutes the user is asked once whether to go on; "no" ends the
// search, and the VATs it met before keep serving.
TEST_F(UdfLongTrackTest, LongSearchAsksOnceAndStopsOnNo) {
    std::int64_t now = 0;
    readers::udf::test_seams::SetSearchClock([&now] { return now += 20; });  // ten minutes after 30,000 reads
    shell_.ScriptAnswers({DialogAnswer::PressButton(7)});
    const int32_t vatAt = kBlocks - 2000;
    diag::DebugMode = false;
    scan::TrackNode* track = ScanLongTrack(vatAt);
    readers::udf::test_seams::SetSearchClock({});
    EXPECT_EQ(CountLike(116), 1);
    // Beyond the VAT only the anchors and the usual search at the end are read.
    for (const int32_t block : BlocksRead())
        if (block >= vatAt) ASSERT_GE(block, kBlocks - 257) << "the search went on after No";
    ExpectTree(track, 1);  // through the first write's VAT, met before the question
}

// The builder's VAT discs as the Linux kernel's UDF driver reads them, an
// independent reader run under user-mode Linux: the newest tree, and with
// lastblock= naming an older VAT's File Entry, the tree of that VAT. What
// the reader tests above expect of these discs is what a real one holds.
TEST_F(UdfVatTest, KernelReadsTheBuildersVatDiscsAlike) {
    for (const bool headerForm : {true, false}) {
        SCOPED_TRACE(headerForm ? "header form" : "older form");
        VatDisc disc = BuildVatDisc({.writes = 3, .headerForm = headerForm});
        const std::string path = out_.File(headerForm ? "kernel-new.img" : "kernel-old.img");
        {
            std::ofstream image(path, std::ios::binary);
            for (int32_t b = 0; b < disc.end; ++b) image.write(reinterpret_cast<const char*>(disc.udf.Block(b)), 2048);
        }
        const struct {
            std::string options;
            int writes;
        } reads[] = {{"", 3}, {"lastblock=" + std::to_string(disc.udf.Absolute(disc.vats[1])), 2}};
        for (const auto& read : reads) {
            const std::string folder = out_.File("kernel" + std::to_string(++discs_));
            std::string why;
            const KernelWriteResult result = ReadWithKernel(path, read.options, folder, why);
            if (result == KernelWriteResult::kNoKernel) GTEST_SKIP() << why;
            ASSERT_EQ(result, KernelWriteResult::kWritten) << read.options << "\n" << why;
            std::map<std::string, std::uint32_t> found;
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                found[entry.path().filename().string()] = static_cast<std::uint32_t>(entry.file_size());
            EXPECT_EQ(found, TreeOf(read.writes)) << read.options;
            for (const auto& [name, size] : TreeOf(read.writes)) {
                const auto expected = Content(name, size);
                EXPECT_TRUE(FileText(folder + "/" + name) == std::string(expected.begin(), expected.end())) << name;
            }
        }
    }
}

// Empty volumes mkudffs makes for CD-R, open and closed, in both forms:
// recognised through their VAT, with an empty tree, also when every
// anchor was lost.
class UdfMkudffsVatTest : public UdfReaderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UdfMkudffsVatTest, EmptyVolumeIsRecognised) {
    if (std::system("command -v mkudffs >/dev/null 2>&1") != 0) GTEST_SKIP() << "mkudffs (udftools) is not installed";
    const std::string path = out_.File("cdr.img");
    const std::string command = std::string("mkudffs --media-type=cdr --blocksize=2048 --label=EMPTYVAT ") + GetParam() +
                                " '" + path + "' 600 >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const bool anchorsLost : {false, true}) {
        SCOPED_TRACE(anchorsLost ? "anchors lost" : "intact");
        if (anchorsLost) {
            std::fstream image(path, std::ios::in | std::ios::out | std::ios::binary);
            std::vector<char> block(2048);
            int zeroed = 0;
            for (std::int64_t b = 0; image.seekg(b * 2048) && image.read(block.data(), 2048); ++b) {
                if (bytes::GetLe16(reinterpret_cast<const uint8_t*>(block.data())) != 2) continue;
                const std::vector<char> zeros(2048);
                image.seekp(b * 2048);
                image.write(zeros.data(), 2048);
                ++zeroed;
            }
            ASSERT_GE(zeroed, 1);
        }
        diag::DebugMode = true;
        scan::TrackNode* track = ScanImage(path);
        ASSERT_TRUE(lastRead_);
        EXPECT_TRUE(track->flags & scan::TrackUdf);
        EXPECT_FALSE(track->flags & scan::TrackUdfFound);
        EXPECT_EQ(track->udfStage, 0);
        EXPECT_EQ(track->vatBlock, blocks_ - 1);  // the last block written
        ASSERT_NE(track->rootItem, nullptr);
        EXPECT_EQ(std::string(track->rootItem->Name()), scan::RootItemName("EMPTYVAT", 1));
        EXPECT_EQ(track->rootItem->firstChild, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, UdfMkudffsVatTest,
                         ::testing::Values("--udfrev=0x0150", "--udfrev=0x0150 --closed", "--udfrev=0x0201",
                                           "--udfrev=0x0201 --closed"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::string out;
                             for (const char c : name)
                                 if (std::isalnum(static_cast<unsigned char>(c))) out += c;
                             return out;
                         });

}  // namespace
}  // namespace dravik::test
