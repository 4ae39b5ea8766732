// The block scan over volumes built with UdfBuilder: File Entries that no
// directory reaches are found under the lost-files folder with their
// sizes and contents, files already found are not listed twice, VATs are
// not shown, shared blocks are marked, and unreadable areas (packet link
// blocks, the end of the written area) are handled as a drive gives them.
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <regex>
#include <set>

#include "support/udf_builder.h"
#include "udf_fixture.h"

namespace dravik::test {
namespace {

constexpr int32_t kBlocks = 700;
constexpr uint32_t kPartition = 300;

std::vector<uint8_t> Content(const std::string& key, std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(key[i % key.size()] + i / 5);
    return bytes;
}

// What a case expects of a file: its size and the name its content was made from.
struct Expected {
    std::uint32_t size;
    std::string key;
};
using Tree = std::map<std::string, Expected>;

const Tree kNamedTree = {{"a.txt", {100, "a.txt"}},
                         {"b.bin", {5000, "b.bin"}},
                         {"c.txt", {20, "c.txt"}},
                         {"Sub/inner.txt", {50, "inner.txt"}}};

Tree With(Tree tree, const Tree& more) {
    for (const auto& [path, expected] : more) tree[path] = expected;
    return tree;
}

// The volume every case starts from: a file set descriptor at partition
// block 0, the root's entry at 1 and its identifiers at 2, three files
// (short descriptors, three blocks, embedded) and a folder with one file;
// blocks from 21 on are free. `change` adds to the root's identifiers and
// the free blocks before the root directory is written; `damage` runs
// after.
UdfBuilder Volume(const std::function<void(UdfBuilder&, std::vector<UdfFid>&)>& change = {},
                  const std::function<void(UdfBuilder&)>& damage = {}) {
    UdfBuilder udf(kBlocks, kPartition);
    UdfVolume volume;
    volume.partitionStart = kPartition;
    volume.partitionLength = kBlocks - kPartition;
    udf.Anchor(256, volume);
    udf.Sequence(volume.mainSequence, volume);
    udf.Sequence(volume.reserveSequence, volume);
    udf.FileSet(0, 1);
    udf.Entry(3, {.size = 100, .extents = {{4}}});
    udf.Data(4, Content("a.txt", 100));
    udf.Entry(5, {.size = 5000, .extents = {{6}}});
    udf.Data(6, Content("b.bin", 5000));
    udf.Entry(9, {.size = 20, .kind = UdfData::kEmbedded, .embedded = Content("c.txt", 20)});
    const uint32_t subBytes = udf.Directory(11, {{"", 1, 0x0A}, {"inner.txt", 12}});
    udf.Entry(10, {.directory = true, .size = subBytes, .extents = {{11}}});
    udf.Entry(12, {.size = 50, .extents = {{13}}});
    udf.Data(13, Content("inner.txt", 50));
    std::vector<UdfFid> root = {{"", 1, 0x0A}, {"a.txt", 3}, {"b.bin", 5}, {"c.txt", 9}, {"Sub", 10, 0x02}};
    if (change) change(udf, root);
    udf.Entry(1, {.directory = true, .size = udf.Directory(2, root), .extents = {{2}}});
    if (damage) damage(udf);
    return udf;
}

void Zero(UdfBuilder& udf, uint32_t logical) { std::fill_n(udf.Block(udf.Absolute(logical)), 2048, 0); }

// A copy of the File Entry at partition block `from` at `to` (its data stay where they are).
void CopyEntry(UdfBuilder& udf, uint32_t from, uint32_t to) {
    std::copy_n(udf.Block(udf.Absolute(from)), 2048, udf.Block(udf.Absolute(to)));
    udf.Reseal(udf.Absolute(to));
}

// A file no directory names: its entry at `at`, its data in the block after.
void LostFile(UdfBuilder& udf, uint32_t at, std::size_t size, const std::string& key) {
    udf.Entry(at, {.size = size, .extents = {{at + 1}}});
    udf.Data(at + 1, Content(key, size));
}

class UdfBlockScanTest : public UdfReaderTest {
protected:
    scan::TrackNode* Scan(const UdfBuilder& udf, const std::string& name, const char* vendor = nullptr) {
        DiscBuilder disc(out_, name);
        disc.Medium("cd-rw");
        if (vendor) disc.Identity(vendor, "CD-Writer+ 9100");
        udf.WriteTo(disc, disc.Track(TrackKind::kMode1, kBlocks));
        Insert(disc);
        for (const auto& [block, code] : failing_) served_->Fail(block, code == 0x21 ? 0x05 : 0x03, code, qualifier_);
        scan::ClearTrackList(false);
        diag::DebugMode = true;  // the summary line is read from the log
        scan::TrackNode* track = AddTrack(0, kBlocks);
        AddLeadOut(kBlocks);
        lastRead_ = Read(track);
        return track;
    }

    // Files below the root (deleted ones left out) with their sizes.
    static std::map<std::string, std::uint32_t> Files(const scan::TrackNode* track) {
        std::map<std::string, std::uint32_t> files;
        for (const auto& [path, item] : Paths(track))
            if (!(item->flags & (scan::ItemDirectory | scan::ItemDeleted))) files[path] = item->size;
        return files;
    }

    std::string Lost() const { return language_.Text(180) + "/"; }

    // The counts of the scan's summary line: blocks read, files, errors.
    std::array<int, 3> Summary() const {
        const std::string log = dir_.Read("reader.DBG");
        const std::regex line("Intensive scan completed, ([0-9]+) blocks read, ([0-9]+) files found, ([0-9]+) errors");
        std::smatch match;
        if (!std::regex_search(log, match, line)) return {-1, -1, -1};
        return {std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3])};
    }

    std::map<int32_t, std::uint8_t> failing_;  // block, additional sense code
    std::uint8_t qualifier_ = 0;                // of every failing block
};

struct LostCase {
    const char* name;
    std::function<UdfBuilder()> build;
    bool intensive;                   // the user asked for the block scan
    bool lostUnderRoot;               // paths below are relative to the lost-files folder
    Tree expected;
    bool keepDuplicates = false;
};

Tree Lost(const Tree& tree) {
    Tree lost;
    for (const auto& [path, expected] : tree) lost["*" + path] = expected;
    return lost;
}

const LostCase kLostCases[] = {
    // The root's entry is gone: its directory block still names the files.
    {"RootEntryZeroed", [] { return Volume({}, [](UdfBuilder& udf) { Zero(udf, 1); }); }, false, true,
     Lost(kNamedTree)},
    // Nothing names the files any more: they are numbered.
    {"RootEntryAndDirectoryZeroed",
     [] {
         return Volume({}, [](UdfBuilder& udf) {
             Zero(udf, 1);
             Zero(udf, 2);
         });
     },
     false, true,
     Lost({{"Unnamed_0001", {100, "a.txt"}},
           {"Unnamed_0002", {5000, "b.bin"}},
           {"Unnamed_0003", {20, "c.txt"}},
           {"Unnamed_0004/inner.txt", {50, "inner.txt"}}})},
    // Two entries for one file's data, neither named: one stays.
    {"TwoUnnamedCopies",
     [] {
         return Volume([](UdfBuilder& udf, std::vector<UdfFid>&) { CopyEntry(udf, 3, 30); },
                       [](UdfBuilder& udf) {
                           Zero(udf, 1);
                           Zero(udf, 2);
                       });
     },
     false, true,
     Lost({{"Unnamed_0001", {100, "a.txt"}},
           {"Unnamed_0002", {5000, "b.bin"}},
           {"Unnamed_0003", {20, "c.txt"}},
           {"Unnamed_0004/inner.txt", {50, "inner.txt"}}})},
    // An intact tree and one entry its directory no longer names.
    {"UnlinkedEntry", [] { return Volume([](UdfBuilder& udf, std::vector<UdfFid>&) { LostFile(udf, 40, 3000, "lost"); }); },
     true, false, With(kNamedTree, {{"*Unnamed_0001", {3000, "lost"}}})},
    // An older copy of a named file's entry: found by name and by the scan, listed once.
    {"StaleCopyOfNamedEntry", [] { return Volume([](UdfBuilder& udf, std::vector<UdfFid>&) { CopyEntry(udf, 3, 30); }); },
     true, false, kNamedTree},
    {"StaleCopyKeptOnRequest", [] { return Volume([](UdfBuilder& udf, std::vector<UdfFid>&) { CopyEntry(udf, 3, 30); }); },
     true, false, With(kNamedTree, {{"*Unnamed_0001", {100, "a.txt"}}}), true},
    // An unlinked folder whose only file's entry was never written: both go.
    {"UnnamedFolderLeadingNowhere",
     [] {
         return Volume([](UdfBuilder& udf, std::vector<UdfFid>&) {
             const uint32_t bytes = udf.Directory(51, {{"", 50, 0x0A}, {"ghost.txt", 52}});
             udf.Entry(50, {.directory = true, .size = bytes, .extents = {{51}}});
         });
     },
     true, false, kNamedTree},
    // VATs of both forms are not shown.
    {"VatWithHeaderSkipped",
     [] { return Volume([](UdfBuilder& udf, std::vector<UdfFid>&) { udf.Vat(60, {.entries = {0, 1, 2, 3}}); }); }, true,
     false, kNamedTree},
    {"OlderVatSkipped",
     [] {
         return Volume([](UdfBuilder& udf, std::vector<UdfFid>&) {
             udf.Vat(60, {.entries = {0, 1, 2, 3}, .headerForm = false});
         });
     },
     true, false, kNamedTree},
};

void PrintTo(const LostCase& c, std::ostream* out) { *out << c.name; }

class UdfLostFilesTest : public UdfBlockScanTest, public ::testing::WithParamInterface<LostCase> {};

TEST_P(UdfLostFilesTest, FindsWhatNoDirectoryReachesOnceAndCopiesItOut) {
    const LostCase& c = GetParam();
    settings::ProgramSettings.IntensiveScan = c.intensive ? 1 : 0;
    settings::ProgramSettings.KeepUDFDups = c.keepDuplicates ? 1 : 0;
    settings::ProgramSettings.PromptSuppress = 1;
    scan::TrackNode* track = Scan(c.build(), c.name);
    ASSERT_TRUE(lastRead_);
    ASSERT_NE(track->rootItem, nullptr);

    std::map<std::string, std::uint32_t> expected;
    std::map<std::string, std::string> keys;
    for (const auto& [path, file] : c.expected) {
        const std::string full = path[0] == '*' ? Lost() + path.substr(1) : path;
        expected[full] = file.size;
        keys[full] = file.key;
    }
    EXPECT_EQ(Files(track), expected);
    const auto paths = Paths(track);
    for (const auto& [path, item] : paths) {
        if (path.rfind(language_.Text(180), 0) == 0) EXPECT_TRUE(item->flags & scan::ItemUnnamed) << path;
        else EXPECT_FALSE(item->flags & scan::ItemUnnamed) << path;
    }

    extract::ExtractSummary summary;
    const std::string folder = ExtractAll(track, summary);
    for (const auto& [path, key] : keys) {
        const auto bytes = Content(key, expected[path]);
        EXPECT_EQ(FileText(folder + "/" + path), std::string(bytes.begin(), bytes.end())) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, UdfLostFilesTest, ::testing::ValuesIn(kLostCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UdfBlockScanTest, AnIntactTreeIsNotScannedUnlessAsked) {
    settings::ProgramSettings.PromptSuppress = 1;
    scan::TrackNode* track = Scan(Volume([](UdfBuilder& udf, std::vector<UdfFid>&) { LostFile(udf, 40, 300, "lost"); }),
                                  "intact");
    std::map<std::string, std::uint32_t> named;
    for (const auto& [path, file] : kNamedTree) named[path] = file.size;
    EXPECT_EQ(Files(track), named);
    EXPECT_FALSE(LogHas("Intensive scan completed"));
}

TEST_F(UdfBlockScanTest, FilesSharingBlocksAreBothMarked) {
    settings::ProgramSettings.IntensiveScan = 1;
    settings::ProgramSettings.PromptSuppress = 1;
    // "shared.bin" has two extents in long descriptors; its second lies on
    // a.txt's block. "near.bin" follows a.txt without touching it.
    scan::TrackNode* track = Scan(Volume([](UdfBuilder& udf, std::vector<UdfFid>& root) {
                                      udf.Entry(70, {.size = 3000, .kind = UdfData::kLong, .extents = {{71, 2048}, {4, 952}}});
                                      udf.Data(71, Content("shared.bin", 2048));
                                      udf.Entry(72, {.size = 10, .extents = {{73}}});
                                      udf.Data(73, Content("near.bin", 10));
                                      root.push_back({"shared.bin", 70});
                                      root.push_back({"near.bin", 72});
                                  }),
                                  "shared");
    const auto paths = Paths(track);
    ASSERT_EQ(paths.count("shared.bin"), 1u);
    for (const auto& [path, overlap] : std::map<std::string, bool>{
             {"a.txt", true}, {"shared.bin", true}, {"b.bin", false}, {"near.bin", false}, {"Sub/inner.txt", false}})
        EXPECT_EQ((paths.at(path)->flags & scan::ItemOverlap) != 0, overlap) << path;
    EXPECT_NE(track->extentTable, nullptr);
    EXPECT_GE(track->readerWord, 6u);
}

// Unreadable areas: packet link blocks (seven in a row, medium errors)
// cost one error each; 33 answers "out of range" end the scan unless the
// user wants everything shown.
struct AreaCase {
    const char* name;
    std::vector<std::pair<int32_t, int32_t>> failing;  // first absolute block, count
    std::uint8_t code;
    bool showAll;
    bool lostFound;
    int errors;  // -1: not checked
    const char* logLine;
    const char* vendor = nullptr;  // of the drive
    std::uint8_t qualifier = 0;
};

const AreaCase kAreaCases[] = {
    {"LinkAreas", {{340, 7}, {379, 7}, {418, 7}, {457, 7}}, 0x11, false, true, 4, ""},
    {"EndOfMedia", {{400, 100}}, 0x21, false, false, 33, "End of media detected"},
    {"EndOfMediaShowAll", {{400, 100}}, 0x21, true, true, 100, ""},
    {"ShortOutOfRangeRun", {{400, 20}}, 0x21, false, true, 20, ""},
    // C6/01 ends the scan on one maker's drives only; elsewhere it is a link area.
    {"C601FromAnotherDriveIsALinkArea", {{400, 7}}, 0xC6, false, true, 1, "", "PLEXTOR", 0x01},
};

void PrintTo(const AreaCase& c, std::ostream* out) { *out << c.name; }

class UdfScanAreaTest : public UdfBlockScanTest, public ::testing::WithParamInterface<AreaCase> {};

TEST_P(UdfScanAreaTest, UnreadableAreas) {
    const AreaCase& c = GetParam();
    settings::ProgramSettings.IntensiveScan = 1;
    settings::ProgramSettings.PromptSuppress = 1;
    settings::ProgramSettings.ShowAll = c.showAll ? 1 : 0;
    for (const auto& [first, count] : c.failing)
        for (int32_t b = first; b < first + count; ++b) failing_[b] = c.code;
    qualifier_ = c.qualifier;
    scan::TrackNode* track =
        Scan(Volume([](UdfBuilder& udf, std::vector<UdfFid>&) { LostFile(udf, 250, 700, "far"); }), c.name, c.vendor);
    ASSERT_TRUE(lastRead_);
    EXPECT_EQ(Files(track).count(Lost() + "Unnamed_0001"), c.lostFound ? 1u : 0u);
    const auto summary = Summary();
    ASSERT_NE(summary[0], -1);
    if (c.errors >= 0) {
        EXPECT_EQ(summary[2], c.errors);
    }
    if (*c.logLine) {
        EXPECT_TRUE(LogHas(c.logLine)) << c.logLine;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, UdfScanAreaTest, ::testing::ValuesIn(kAreaCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UdfBlockScanTest, AHealthyAreaCostsOneCommandPerRun) {
    settings::ProgramSettings.IntensiveScan = 1;
    settings::ProgramSettings.PromptSuppress = 1;
    scan::TrackNode* track = Scan(Volume(), "runs");
    ASSERT_TRUE(lastRead_);
    const auto summary = Summary();
    // Some 380 free blocks of the partition, read 32 at a time.
    EXPECT_GT(summary[0], 300);
    // The free area from partition block 21 on: some 380 blocks.
    int commands = 0;
    for (const auto& [first, count] : served_->Commands())
        if (first >= static_cast<int32_t>(kPartition) + 21) ++commands;
    EXPECT_LE(commands, 16);
    EXPECT_NE(track->rootItem, nullptr);
}

// A volume written by mkudffs and the Linux kernel whose root File Entry is
// zeroed: every file comes back below the lost-files folder (named through
// surviving directory blocks, or numbered), whole.
TEST_F(UdfBlockScanTest, KernelWrittenVolumeWithZeroedRootEntry) {
    REQUIRE_UDF_IMAGE(UdfImageKind::kPlain, image);
    settings::ProgramSettings.PromptSuppress = 1;
    scan::TrackNode* track = ScanImage(image.path);
    ASSERT_TRUE(lastRead_);
    ASSERT_NE(track->rootItem, nullptr);
    served_->Override(static_cast<std::int32_t>(track->rootItem->fsId), std::vector<std::uint8_t>(2048, 0));
    track = Rescan();
    ASSERT_TRUE(lastRead_);
    extract::ExtractSummary summary;
    const std::string folder = ExtractAll(track, summary);
    std::multiset<std::string> contents;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder + "/" + language_.Text(180))) {
        if (!entry.is_regular_file()) continue;
        contents.insert(FileText(entry.path().string()));
    }
    std::multiset<std::string> expected;
    for (const auto& [path, size] : UdfTestFiles()) {
        expected.insert(UdfTestContent(path, size));
        EXPECT_GT(contents.count(UdfTestContent(path, size)), 0u) << path;
    }
    // Nothing else, and nothing twice.
    std::vector<std::string> extra;
    std::set_difference(contents.begin(), contents.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    for (std::string& text : extra) text = std::to_string(text.size()) + " bytes: " + text.substr(0, 40);
    EXPECT_TRUE(extra.empty()) << ::testing::PrintToString(extra);
}

}  // namespace
}  // namespace dravik::test
