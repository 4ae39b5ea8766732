// dravik-cli on UDF volumes made by real tools: the JSON report carries
// the UDF track flags, and extract copies a bridge disc's files out
// through their UDF side.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/cli_runner.h"
#include "support/disc_builder.h"
#include "support/temp_dir.h"
#include "support/udf_builder.h"

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

bool HaveTool(const std::string& name) { return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0; }

class CliUdfTest : public ::testing::Test {
protected:
    CliRun Run(const std::vector<std::string>& args) {
        return RunCli(args, {{"DRAVIK_IMAGES", ""}, {"DRAVIK_CONFIG_DIR", config_.path()},
                             {"DRAVIK_DEBUG_LOG", dir_.File("run.DBG")}});
    }
    void Tool(const std::string& command) {
        ASSERT_EQ(std::system(("cd '" + dir_.path() + "' && { " + command + "; } >tool.out 2>&1").c_str()), 0)
            << command << "\n" << dir_.Read("tool.out");
    }
    TempDir dir_;
    TempDir config_;
};

TEST_F(CliUdfTest, JsonReportShowsTheUdfFlagsOfEachKindOfVolume) {
    if (!HaveTool("mkudffs") || !HaveTool("genisoimage")) GTEST_SKIP() << "mkudffs and genisoimage are needed";
    fs::create_directories(dir_.File("src/Sub"));
    dir_.Write("src/Sub/a.txt", "alpha");
    Tool("genisoimage -quiet -udf -o bridge.iso src");
    Tool("mkudffs --media-type=cdrw --label=RW rw.img 3000");
    Tool("mkudffs --media-type=hd --blocksize=2048 --label=HD hd.img 3000");
    const struct {
        const char* image;
        const char* flags;
    } cases[] = {
        {"bridge.iso", R"("flags":["udf"])"},
        {"rw.img", R"("flags":["udf","sparing"])"},
        {"hd.img", R"("flags":["udf"])"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run({"scan", "--json", dir_.File(c.image)});
        EXPECT_EQ(run.status, 0) << c.image << run.err;
        EXPECT_NE(run.out.find(c.flags), std::string::npos) << c.image << "\n" << run.out;
    }
}

// A write-once volume names the VAT it was read through; others name none.
TEST_F(CliUdfTest, JsonReportNamesTheVatOfAWriteOnceVolume) {
    if (!HaveTool("mkudffs")) GTEST_SKIP() << "mkudffs is needed";
    Tool("mkudffs --media-type=cdr --blocksize=2048 --label=WO cdr.img 600");
    Tool("mkudffs --media-type=hd --blocksize=2048 --label=HD hd.img 3000");
    const auto blocks = static_cast<long long>(fs::file_size(dir_.File("cdr.img")) / 2048);
    const CliRun run = Run({"scan", "--json", dir_.File("cdr.img")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(R"("vat":)" + std::to_string(blocks - 1) + R"(,"vatFallbacks":0)"), std::string::npos)
        << run.out;
    const CliRun plain = Run({"scan", "--json", dir_.File("hd.img")});
    EXPECT_EQ(plain.out.find(R"("vat":)"), std::string::npos) << plain.out;
}

TEST_F(CliUdfTest, ExtractCopiesABridgeDiscThroughItsUdfSide) {
    if (!HaveTool("genisoimage")) GTEST_SKIP() << "genisoimage is needed";
    fs::create_directories(dir_.File("src/Sub"));
    dir_.Write("src/Sub/a.txt", std::string(5000, 'a'));
    dir_.Write("src/b.txt", "b");
    Tool("genisoimage -quiet -udf -o bridge.iso src");
    const CliRun run = Run({"extract", dir_.File("bridge.iso"), "--to", dir_.File("out")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const std::string track = dir_.File("out/CDROM (Session 1)");
    std::ifstream a(track + "/Sub/a.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}), std::string(5000, 'a'));
    std::ifstream b(track + "/b.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(b), {}), "b");
}

// A packet-written CD-R of two closed sessions and an open third, as
// packet-writing software leaves it: every session repeats the anchor and
// the volume descriptors at its start, all naming one write-once partition
// that begins in the first session, and adds a new root, one more file and
// a new VAT that names the one before. Read from its TOC, each session's
// track shows the tree of its own VAT, the last one every file.
TEST_F(CliUdfTest, EachSessionOfAPacketWrittenDiscShowsTheTreeOfItsVat) {
    constexpr int kSessions = 3;
    constexpr int32_t kPartition = 300;  // absolute block of partition block 0
    constexpr int32_t kTrackBlocks = 340;
    DiscBuilder disc(dir_, "sessions");
    disc.Medium("cd-r");
    int32_t starts[kSessions] = {};
    for (int s = 0; s < kSessions; ++s) {
        if (s > 0) disc.Session(-1, s == kSessions - 1);
        starts[s] = disc.TrackStart(disc.Track(TrackKind::kMode1, kTrackBlocks, {.packetSize = 0}));
    }
    const int32_t discEnd = starts[kSessions - 1] + kTrackBlocks;
    UdfBuilder udf(discEnd, kPartition);
    UdfVolume volume;
    volume.partitionStart = kPartition;
    volume.partitionLength = static_cast<uint32_t>(discEnd - kPartition);
    volume.writeOnce = true;
    volume.fileSetReference = 1;
    std::vector<uint32_t> map;  // virtual block -> partition block
    std::vector<UdfFid> fids = {{"", 1, 0x0A, 0, 1}};
    std::vector<std::string> contents;
    std::vector<long long> vats;
    for (int s = 0; s < kSessions; ++s) {
        volume.mainSequence = starts[s] + 32;
        volume.reserveSequence = starts[s] + 48;
        udf.Anchor(starts[s] + 256, volume);
        udf.Sequence(volume.mainSequence, volume);
        udf.Sequence(volume.reserveSequence, volume);
        // This session's writes begin kPartition blocks into its track,
        // at partition block `base`.
        const uint32_t base = static_cast<uint32_t>(starts[s]);
        const uint32_t fileSet = base + 4, root = base + 6, identifiers = base + 8, entry = base + 10, data = base + 12;
        contents.push_back(std::string(3000 + 1000 * s, static_cast<char>('a' + s)) + "end");
        udf.Data(data, std::span(reinterpret_cast<const uint8_t*>(contents.back().data()), contents.back().size()));
        udf.Entry(entry, {.size = contents.back().size(), .kind = UdfData::kLong, .extents = {{data}}});
        if (s == 0) {
            udf.FileSet(fileSet, 1, "FILESET", 1);
            map = {fileSet, 0, 0};
        }
        fids.push_back({"s" + std::to_string(s + 1) + ".txt", static_cast<uint32_t>(map.size()), 0, 0, 1});
        map.push_back(entry);
        map[1] = root;
        map[2] = identifiers;
        udf.Entry(root, {.directory = true, .size = udf.Directory(identifiers, fids), .extents = {{2}}});
        const uint32_t vat =
            udf.Vat(base + 20, {.entries = map,
                                .previous = vats.empty() ? 0xFFFFFFFFu : static_cast<uint32_t>(vats.back() - kPartition)});
        vats.push_back(udf.Absolute(vat));
    }
    for (int s = 0; s < kSessions; ++s)
        for (int32_t b = 0; b < kTrackBlocks; ++b)
            disc.WriteBlock(s, b, std::span<const uint8_t>(udf.Block(starts[s] + b), 2048));
    const std::string description = disc.Write();

    const CliRun scanned = Run({"scan", "--json", description});
    ASSERT_EQ(scanned.status, 0) << scanned.err;
    for (const long long vat : vats)
        EXPECT_NE(scanned.out.find(R"("vat":)" + std::to_string(vat) + R"(,"vatFallbacks":0)"), std::string::npos)
            << vat << "\n" << scanned.out;

    const CliRun run = Run({"extract", description, "--to", dir_.File("out")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    for (int s = 0; s < kSessions; ++s) {
        const std::string track = dir_.File("out/LAYOUT (Session " + std::to_string(s + 1) + ")");
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(track)) ++files;
        EXPECT_EQ(files, static_cast<std::size_t>(s + 1)) << track;
        for (int f = 0; f <= s; ++f) {
            std::ifstream file(track + "/s" + std::to_string(f + 1) + ".txt", std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), contents[static_cast<std::size_t>(f)])
                << track << " s" << f + 1;
        }
    }
}

}  // namespace
}  // namespace dravik::test
