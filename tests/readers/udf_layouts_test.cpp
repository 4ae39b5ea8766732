// The UDF reader on layouts no tool here writes, built block by block with
// UdfBuilder: packet-writing products' identifiers and partition layouts,
// a Mount Rainier disc in a drive that does not translate, directories
// that outgrew their entry or name themselves, identifiers with
// implementation use, and a partition that runs into the next track. Each
// case checks what the scan finds and copies the files out.
#include <functional>

#include "support/udf_builder.h"
#include "udf_fixture.h"

namespace dravik::test {
namespace {

// Where the tracks of a case lie (the lead-out follows the last).
struct TrackShape {
    int32_t start;
    int32_t end;
    bool packet = false;
    std::uint32_t flags = 0;  // more track flags the scan would have set
};

// What the standard tree looks like in a case.
struct TreeOptions {
    uint16_t implementationUse = 0;  // of every root identifier
    bool directCd = false;           // 40-byte prefixes before the root identifiers and one File Entry
    bool regrown = false;            // the root's entry says one block, its extent holds three
    bool selfLink = false;           // a root identifier naming the root itself
    bool farFile = false;            // a file whose data lie 60 blocks into the partition
};

std::vector<uint8_t> Content(const std::string& name, std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(name[i % name.size()] + i / 7);
    return bytes;
}

// The files every case puts in (path and size), besides "far.bin".
const std::map<std::string, std::uint32_t> kFiles = {
    {"hello.txt", 100}, {"long.bin", 3000}, {"tiny.txt", 20}, {"Sub/inner.txt", 50}};

// Lays the tree into partition blocks from `first`: the file set
// descriptor there, the root's entry after it, a file with short
// descriptors and an attribute area, one of two extents with long
// descriptors, an embedded one, a deleted one and a folder with one file.
void StandardTree(UdfBuilder& udf, uint32_t first, const TreeOptions& options, const std::string& fileSetId = "FILESET") {
    auto at = [first](uint32_t offset) { return first + offset; };
    udf.FileSet(at(0), at(1), fileSetId);
    udf.Entry(at(3), {.size = 100, .extents = {{at(4)}}, .extendedAttributes = 48});
    udf.Data(at(4), Content("hello.txt", 100));
    const auto longData = Content("long.bin", 3000);
    udf.Entry(at(5), {.size = 3000, .kind = UdfData::kLong, .extents = {{at(6), 2048}, {at(8), 952}}});
    udf.Data(at(6), std::span(longData).first(2048));
    udf.Data(at(8), std::span(longData).subspan(2048));
    udf.Entry(at(9), {.size = 20, .kind = UdfData::kEmbedded, .embedded = Content("tiny.txt", 20)});
    udf.Entry(at(10), {.size = 10, .kind = UdfData::kEmbedded, .embedded = Content("old.txt", 10)});
    const uint32_t subBytes = udf.Directory(at(12), {{"", at(1), 0x0A}, {"inner.txt", at(13)}});
    udf.Entry(at(11), {.directory = true, .size = subBytes, .extents = {{at(12)}}, .extendedAttributes = 24});
    udf.Entry(at(13), {.size = 50, .extents = {{at(14)}}});
    udf.Data(at(14), Content("inner.txt", 50));

    const uint16_t iu = options.regrown ? 700 : options.implementationUse;
    std::vector<UdfFid> root = {{"", at(1), 0x0A, iu},         {"hello.txt", at(3), 0, iu}, {"long.bin", at(5), 0, iu},
                                {"tiny.txt", at(9), 0, iu},    {"old.txt", at(10), 0x04, iu},
                                {"Sub", at(11), 0x02, iu}};
    if (options.selfLink) root.push_back({"loop", at(1), 0x02, iu});
    if (options.farFile) {
        root.push_back({"far.bin", at(15), 0, iu});
        udf.Entry(at(15), {.size = 500, .extents = {{at(60)}}});
        udf.Data(at(60), Content("far.bin", 500));
    }
    const uint32_t rootBytes = udf.Directory(at(20), root, options.directCd);
    udf.Entry(at(1), {.directory = true, .size = options.regrown ? 2048 : rootBytes, .extents = {{at(20), rootBytes}}});
    if (options.directCd) udf.PrefixDirectCd(at(3));
}

// A disc some case builds: the volume's blocks, the tracks the scan sees,
// where each block sits on the disc.
struct Layout {
    UdfBuilder udf;
    std::vector<TrackShape> tracks;
    std::function<int32_t(int32_t)> place;
    std::vector<int32_t> unreadable;
};

// A volume found through its anchor at 256 and both descriptor sequences.
Layout Described(int32_t blocks, uint32_t partition, const std::string& implementation, const TreeOptions& options,
                 const std::string& fileSetId = "FILESET", bool sparable = false) {
    Layout layout{UdfBuilder(blocks, partition), {{0, blocks}}, {}, {}};
    UdfVolume volume;
    volume.partitionStart = partition;
    volume.partitionLength = static_cast<uint32_t>(blocks) - partition;
    volume.implementation = implementation;
    if (sparable) {
        volume.sparable = true;
        volume.sparingTables = {280, 290};
        layout.udf.SparingTable(290, volume.packetLength);  // the first copy is lost
    }
    layout.udf.Anchor(256, volume);
    layout.udf.Sequence(volume.mainSequence, volume);
    layout.udf.Sequence(volume.reserveSequence, volume);
    StandardTree(layout.udf, 0, options, fileSetId);
    return layout;
}

// A packet layout whose volume descriptors were never written: an anchor
// (or none) in a short first track and a packet track at `packetStart`;
// the tree from partition block `first` on, and (when asked) a VAT that
// maps the tree's virtual blocks onto the same partition blocks.
Layout PacketLayout(int32_t firstEnd, int32_t packetStart, uint32_t partition, uint32_t first, bool anchor,
                    bool vat = false) {
    const int32_t blocks = static_cast<int32_t>(partition + first) + 80;
    Layout layout{UdfBuilder(blocks, partition), {{0, firstEnd}, {packetStart, blocks, true}}, {}, {}};
    UdfVolume volume;
    volume.reserveSequence = 0;
    if (anchor) layout.udf.Anchor(256, volume);  // its sequence is all zeros
    else layout.unreadable.push_back(firstEnd - 1);
    StandardTree(layout.udf, first, {});
    if (vat) {
        UdfVat table;
        for (uint32_t block = 0; block < first + 16; ++block) table.entries.push_back(block);
        layout.udf.Vat(first + 70, table);
    }
    return layout;
}

struct LayoutCase {
    const char* name;
    std::function<Layout()> build;
    std::uint32_t trackFlags = 0;               // must be set on the first track
    std::string volumeName = "LAYOUT";
    std::map<std::string, std::uint32_t> files = kFiles;
    std::set<std::string> missing = {};         // found, but marked missing
    bool acceptErrors = false;
    bool rootSelfLink = false;
    int32_t partitionStart = 300;
    std::string logLine = "";                   // where only the log tells how the root was found
    std::uint32_t nextTrackFlags = 0;           // must be set on the second track
};

// A Mount Rainier drive shows logical block b at this physical block.
int32_t MountRainierPlace(int32_t block) { return block + (block / 4352 + 5) * 256; }

std::map<std::string, std::uint32_t> WithFar(std::uint32_t size = 500) {
    auto files = kFiles;
    files["far.bin"] = size;
    return files;
}

const LayoutCase kCases[] = {
    {"ImplementationUse", [] { return Described(400, 300, "*Dravik tests", {.implementationUse = 32}); }},
    {"DirectCd", [] { return Described(400, 300, "*Adaptec DirectCD", {.directCd = true}, "DCDSET"); }, 0, "DCDSET"},
    {"PrassiRootWithoutFileSet",
     [] {
         Layout layout = Described(400, 300, "*Prassi abCD", {});
         std::fill_n(layout.udf.Block(300), 2048, 0);
         return layout;
     },
     0, "LAYOUT", kFiles, {}, false, false, 300, "Found Prassi root directory entry at 301"},
    {"SparableMapSecondTable", [] { return Described(400, 300, "*Dravik tests", {}, "FILESET", true); },
     scan::TrackSparing},
    // One File Entry whose tag checksum is wrong: that file is missing, the others are found.
    {"EntryWithBadChecksum",
     [] {
         Layout layout = Described(400, 300, "*Dravik tests", {});
         layout.udf.BreakChecksum(layout.udf.Absolute(3));
         return layout;
     },
     0, "LAYOUT", {{"long.bin", 3000}, {"tiny.txt", 20}, {"Sub/inner.txt", 50}}, {"hello.txt"}},
    {"SelfLink", [] { return Described(400, 300, "*Dravik tests", {.selfLink = true}); }, 0, "LAYOUT", kFiles, {}, false,
     true},
    {"RegrownDirectory", [] { return Described(400, 300, "*Dravik tests", {.regrown = true}); }, scan::TrackDirRegrown},
    {"MountRainierUntranslated",
     [] {
         Layout layout = Described(400, 300, "*Dravik tests", {});
         layout.place = MountRainierPlace;
         layout.tracks = {{0, 2000}};
         return layout;
     }},
    {"PartitionOverlapCut",
     [] {
         Layout layout = Described(400, 300, "*Dravik tests", {.farFile = true});
         layout.tracks = {{0, 340}, {340, 400}};
         return layout;
     },
     scan::TrackPartitionOverlap, "LAYOUT", kFiles, {"far.bin"}},
    {"PartitionOverlapAccepted",
     [] {
         Layout layout = Described(400, 300, "*Dravik tests", {.farFile = true});
         layout.tracks = {{0, 340}, {340, 400}};
         return layout;
     },
     scan::TrackPartitionOverlap, "LAYOUT", WithFar(), {}, true},
    // An erasable packet track without anchors: the partition is taken
    // to start at 513 (the first File Entry found there confirms it).
    {"ErasablePacketWithoutAnchor",
     [] {
         Layout layout = PacketLayout(300, 512, 513, 0, false);
         layout.tracks = {{0, layout.udf.Blocks(), true, scan::TrackErasable}};
         layout.unreadable.clear();  // the first candidate, the track's end, cannot be read
         return layout;
     },
     scan::TrackSparing, "LAYOUT", kFiles, {}, false, false, 513},
    // Write-once packet layouts with their descriptors unreadable: the
    // volume is recognised (partition at 547, or at 513 behind a first
    // track ending at 348) and its tree is reached through the VAT at the
    // end of the packet track. The partition at 547 runs to the packet
    // track's end, which the first track takes over.
    {"Packet512AfterAnchor", [] { return PacketLayout(300, 512, 547, 548, true, true); }, 0, "LAYOUT", kFiles, {},
     false, false, 547, "", scan::TrackContinued},
    {"Packet512WithoutAnchor", [] { return PacketLayout(300, 512, 547, 548, false, true); }, 0, "LAYOUT", kFiles, {},
     false, false, 547, "", scan::TrackContinued},
    // Without a VAT the root stays empty.
    {"Packet512WithoutVat", [] { return PacketLayout(300, 512, 547, 548, true); }, scan::TrackUdfFound, "Unknown", {},
     {}, false, false, 0, "", scan::TrackContinued},
    // The layout behind a 348-block track has a partition of length 0, so
    // its root lies outside it: the tree stays empty.
    {"Packet348And500", [] { return PacketLayout(348, 500, 513, 1, true); }, scan::TrackUdfFound, "Unknown", {}, {}, false,
     false, 0},
};

void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.name; }

class UdfLayoutTest : public UdfReaderTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(UdfLayoutTest, ScanFindsTheTreeAndCopiesItOut) {
    const LayoutCase& c = GetParam();
    Layout layout = c.build();
    DiscBuilder disc(out_, c.name);
    disc.Medium("cd-rw");
    const int32_t discBlocks = std::max(layout.udf.Blocks(), layout.tracks.back().end);
    const int t = disc.Track(TrackKind::kMode1, discBlocks);
    layout.udf.WriteTo(disc, t, layout.place);
    Insert(disc);
    for (const int32_t block : layout.unreadable) served_->Fail(block);
    settings::ProgramSettings.AcceptErrors = c.acceptErrors ? 1 : 0;
    diag::DebugMode = true;

    scan::ClearTrackList(false);
    scan::TrackNode* track = nullptr;
    for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
        scan::TrackNode* node = AddTrack(layout.tracks[i].start, layout.tracks[i].end, static_cast<int>(i + 1));
        if (layout.tracks[i].packet) node->flags |= scan::TrackPacket;
        node->flags |= layout.tracks[i].flags;
        if (!track) track = node;
    }
    AddLeadOut(layout.tracks.back().end);
    ASSERT_TRUE(Read(track));

    EXPECT_TRUE(track->flags & scan::TrackUdf);
    EXPECT_EQ(track->flags & c.trackFlags, c.trackFlags);
    EXPECT_EQ(track->next->flags & c.nextTrackFlags, c.nextTrackFlags);
    EXPECT_EQ(track->udfBlock, c.partitionStart);
    ASSERT_NE(track->rootItem, nullptr);
    EXPECT_EQ(std::string(track->rootItem->Name()), scan::RootItemName(c.volumeName, 1));
    EXPECT_EQ((track->rootItem->flags & scan::ItemSelfLink) != 0, c.rootSelfLink);
    EXPECT_FALSE(track->flags & scan::TrackNoSparingTable);
    EXPECT_EQ(device_->IsFakeMode3(), layout.place != nullptr);
    if (!c.logLine.empty()) {
        EXPECT_TRUE(LogHas(c.logLine)) << c.logLine;
    }

    std::map<std::string, std::uint32_t> found;
    std::set<std::string> missing;
    for (const auto& [path, item] : Paths(track)) {
        if (item->flags & (scan::ItemDirectory | scan::ItemDeleted)) continue;
        if (item->flags & scan::ItemMissing) missing.insert(path);
        else found[path] = item->size;
    }
    EXPECT_EQ(found, c.files);
    EXPECT_EQ(missing, c.missing);
    if (c.files.empty()) return;
    const auto paths = Paths(track);
    EXPECT_TRUE(paths.at("old.txt")->flags & scan::ItemDeleted);
    EXPECT_TRUE(paths.at("long.bin")->flags & scan::ItemFragmented);
    EXPECT_EQ(paths.count("loop"), 0u);

    extract::ExtractSummary summary;
    const std::string folder = ExtractAll(track, summary);
    for (const auto& [path, size] : c.files) {
        const auto expected = Content(path.substr(path.rfind('/') + 1), size);
        EXPECT_EQ(FileText(folder + "/" + path), std::string(expected.begin(), expected.end())) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, UdfLayoutTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dravik::test
