// The extractor over catalogues built by hand and a disc held in memory:
// what lands in the folder, byte for byte, and what is reported for
// unreadable blocks, missing files, hostile names, existing files, and a
// failure or a stop in the middle of a file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "program/extract/extractor.h"
#include "program/extract/output_folder.h"
#include "program/extract/test_seams.h"
#include "program/scan/found_item.h"
#include "program/scan/mac_file_info.h"
#include "program/scan/track_list.h"
#include "support/temp_dir.h"

namespace dravik::extract {
namespace {

namespace fs = std::filesystem;

// A disc of numbered blocks whose bytes tell where they came from.
class MemoryDisc : public BlockSource {
public:
    explicit MemoryDisc(std::int32_t blocks) : data_(std::size_t(blocks) * kBlockBytes) {
        for (std::size_t i = 0; i < data_.size(); ++i) data_[i] = static_cast<std::uint8_t>((i * 7 + i / 2048) % 251);
    }
    bool Read(std::int32_t block, int count, std::uint8_t* out) override {
        ++reads_;
        if (stopAfterReads_ >= 0 && reads_ > stopAfterReads_) stopped_ = true;
        for (int i = 0; i < count; ++i) {
            const std::int64_t at = std::int64_t(block) + i;
            if (at < 0 || std::size_t(at + 1) * kBlockBytes > data_.size() || bad_.count(std::int32_t(at))) return false;
        }
        std::copy_n(data_.begin() + std::ptrdiff_t(block) * kBlockBytes, std::size_t(count) * kBlockBytes, out);
        return true;
    }
    bool Aborted() const override { return stopped_; }

    // The bytes a file of `length` bytes at `block` holds.
    std::string Bytes(std::int32_t block, std::uint32_t length) const {
        return std::string(data_.begin() + std::ptrdiff_t(block) * kBlockBytes,
                           data_.begin() + std::ptrdiff_t(block) * kBlockBytes + length);
    }
    // The bytes at a byte position of the disc.
    std::string At(std::int64_t offset, std::size_t length) const {
        return std::string(data_.begin() + offset, data_.begin() + offset + std::ptrdiff_t(length));
    }
    void MakeBad(std::int32_t block) { bad_.insert(block); }
    void StopAfterReads(int reads) { stopAfterReads_ = reads; }
    int Reads() const { return reads_; }

private:
    std::vector<std::uint8_t> data_;
    std::set<std::int32_t> bad_;
    int reads_ = 0;
    int stopAfterReads_ = -1;
    bool stopped_ = false;
};

// 2021-05-06 07:08:09 at one hour east of Greenwich.
constexpr scan::ItemDate kDate{121, 5, 6, 7, 8, 9, 4};
constexpr std::time_t kDateUtc = 1620281289;  // 2021-05-06 06:08:09 UTC

class ExtractorTest : public ::testing::Test {
protected:
    void SetUp() override {
        track_ = scan::NewTrackNode();
        track_->number = 1;
        track_->session = 1;
        track_->flags = scan::TrackIso;
        scan::AppendTrackNode(track_);
        root_ = scan::NewFoundItem("\\ DISC (Session 1)", scan::kRootNameRoom);
        root_->flags = scan::ItemDirectory;
        scan::AttachRootItem(track_, root_);
        // The self and parent entries every ISO directory has.
        Add(root_, std::string(1, '\0'), 20, 2048, scan::ItemDirectory);
        Add(root_, std::string(1, '\1'), 20, 2048, scan::ItemDirectory);
        target_ = dir_.File("out");
    }
    void TearDown() override {
        test_seams::SetOutputFaultHook(nullptr);
        scan::ClearTrackList(false);
    }

    static scan::FoundItem* Add(scan::FoundItem* dir, const std::string& name, std::int32_t start, std::uint32_t size,
                                std::uint16_t flags = 0) {
        scan::FoundItem* item = scan::NewFoundItem(name);
        item->start = start;
        item->size = size;
        item->flags = flags;
        item->date = kDate;
        scan::AppendItem(dir, item);
        return item;
    }

    ExtractSummary Run(std::vector<std::string> paths = {}, bool overwrite = false, bool resourceForks = false) {
        ExtractOptions options;
        options.targetFolder = target_;
        options.paths = std::move(paths);
        options.overwrite = overwrite;
        options.resourceForks = resourceForks;
        return ExtractFiles({root_}, disc_, options);
    }

    std::string Out(const std::string& relative) const {
        std::ifstream in(target_ + "/DISC (Session 1)/" + relative, std::ios::binary);
        if (!in) return "<none>";
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Every entry under the TempDir (relative paths), the target folder's included.
    std::set<std::string> Everything() const {
        std::set<std::string> all;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.path()))
            all.insert(fs::relative(entry.path(), dir_.path()).string());
        return all;
    }

    test::TempDir dir_;
    std::string target_;
    MemoryDisc disc_{400};
    scan::TrackNode* track_ = nullptr;
    scan::FoundItem* root_ = nullptr;
};

TEST_F(ExtractorTest, CopiesTheTreeByteForByteWithDatesAndWithoutVersions) {
    Add(root_, "README.TXT;1", 30, 5000);
    scan::FoundItem* photos = Add(root_, "PHOTOS", 21, 2048, scan::ItemDirectory);
    Add(photos, "IMG_0001.JPG;1", 40, 4096);
    Add(photos, "EMPTY.DAT;1", 50, 0);
    Add(root_, "EMPTYDIR", 22, 2048, scan::ItemDirectory);

    const ExtractSummary summary = Run();
    EXPECT_TRUE(summary.AllWhole());
    EXPECT_EQ(summary.Count(FileOutcome::kWritten), 3);
    EXPECT_EQ(Out("README.TXT"), disc_.Bytes(30, 5000));
    EXPECT_EQ(Out("PHOTOS/IMG_0001.JPG"), disc_.Bytes(40, 4096));
    EXPECT_EQ(Out("PHOTOS/EMPTY.DAT"), "");
    EXPECT_TRUE(fs::is_directory(target_ + "/DISC (Session 1)/EMPTYDIR"));

    struct stat info {};
    ASSERT_EQ(::stat((target_ + "/DISC (Session 1)/README.TXT").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, kDateUtc);
    ASSERT_EQ(::stat((target_ + "/DISC (Session 1)/PHOTOS").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, kDateUtc) << "a folder's date is set after its files are in";
}

TEST_F(ExtractorTest, MultiExtentFileIsCopiedExtentByExtentInOrder) {
    // 25 extents scattered over the disc, backwards, with lengths that do
    // not end on a block.
    scan::FoundItem* file = Add(root_, "BIG.BIN;1", 300, 3000);
    ASSERT_TRUE(scan::StartExtentList(file));
    std::string expected = disc_.Bytes(300, 3000);
    for (int i = 1; i < 25; ++i) {
        const std::int32_t start = 300 - i * 10;
        const std::uint32_t length = 2048 * (i % 3) + 100 * i;
        ASSERT_TRUE(scan::AppendItemExtent(file, start, length));
        expected += disc_.Bytes(start, length);
    }
    ASSERT_EQ(file->count, 25u);

    const ExtractSummary summary = Run();
    EXPECT_TRUE(summary.AllWhole());
    EXPECT_EQ(Out("BIG.BIN"), expected);
}

TEST_F(ExtractorTest, UnreadableBlocksBecomeZerosAndTheFileIsDamaged) {
    Add(root_, "HOLE.BIN;1", 100, 40 * 2048 - 5);
    disc_.MakeBad(120);
    disc_.MakeBad(121);
    disc_.MakeBad(135);

    const ExtractSummary summary = Run();
    EXPECT_FALSE(summary.AllWhole());
    ASSERT_EQ(summary.files.size(), 1u);
    const FileReport& file = summary.files[0];
    EXPECT_EQ(file.outcome, FileOutcome::kDamaged);
    EXPECT_EQ(BlockRangesText(file.unreadable), "120-121, 135");

    std::string expected = disc_.Bytes(100, 40 * 2048 - 5);
    for (std::int32_t bad : {120, 121, 135}) expected.replace(std::size_t(bad - 100) * 2048, 2048, 2048, '\0');
    EXPECT_EQ(Out("HOLE.BIN"), expected);
}

TEST_F(ExtractorTest, BlocksPastTheDiscAreDamageNotACrash) {
    Add(root_, "PAST.BIN;1", 399, 3 * 2048);
    Add(root_, "FAR.BIN;1", INT32_MAX, 2 * 2048);
    const ExtractSummary summary = Run();
    ASSERT_EQ(summary.files.size(), 2u);
    EXPECT_EQ(BlockRangesText(summary.files[0].unreadable), "400-401");
    EXPECT_EQ(summary.files[1].outcome, FileOutcome::kDamaged);
    EXPECT_EQ(Out("FAR.BIN"), std::string(2 * 2048, '\0'));
}

TEST_F(ExtractorTest, MissingFilesAreReportedAndNotWritten) {
    Add(root_, "GONE.TXT;1", -1, 100, scan::ItemMissing);
    Add(root_, "SHOWN.TXT;1", 5000, 100, scan::ItemMissing);  // --show-all keeps the start
    Add(root_, "HERE.TXT;1", 30, 100);

    const ExtractSummary summary = Run();
    EXPECT_EQ(summary.Count(FileOutcome::kMissing), 2);
    EXPECT_EQ(summary.Count(FileOutcome::kWritten), 1);
    EXPECT_FALSE(summary.AllWhole());
    EXPECT_EQ(Out("GONE.TXT"), "<none>");
    EXPECT_EQ(Out("SHOWN.TXT"), "<none>");
    EXPECT_EQ(disc_.Reads(), 1) << "nothing is read for a missing file";
}

TEST_F(ExtractorTest, HostileNamesNeverLeaveTheFolder) {
    Add(root_, "..", 30, 10);
    Add(root_, "../../escape", 30, 10);
    Add(root_, "/etc/passwd", 30, 10);
    Add(root_, "ctl\x01\x1b[2J", 30, 10);
    Add(root_, std::string(300, 'L'), 30, 10);
    scan::FoundItem* dotdot = Add(root_, "..", 21, 2048, scan::ItemDirectory);
    Add(dotdot, "inner", 31, 10);

    const ExtractSummary summary = Run();
    EXPECT_TRUE(summary.AllWhole());
    EXPECT_EQ(summary.Count(FileOutcome::kWritten), 6);
    EXPECT_EQ(summary.renamed.size(), 6u);
    for (const std::string& entry : Everything()) {
        EXPECT_EQ(entry.rfind("out", 0), 0u) << entry << " lies outside the target folder";
        EXPECT_LE(fs::path(entry).filename().string().size(), 255u);
        for (char c : entry) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << entry;
    }
    EXPECT_EQ(Out("_.."), disc_.Bytes(30, 10));
    EXPECT_EQ(Out(".._.._escape"), disc_.Bytes(30, 10));
    EXPECT_EQ(Out("_etc_passwd"), disc_.Bytes(30, 10));
    EXPECT_EQ(Out("_..~2/inner"), disc_.Bytes(31, 10));
}

TEST_F(ExtractorTest, ALinkInTheTargetIsNotFollowed) {
    Add(root_, "FILE.TXT;1", 30, 10);
    fs::create_directories(target_);
    fs::create_directories(dir_.File("elsewhere"));
    fs::create_directory_symlink(dir_.File("elsewhere"), target_ + "/DISC (Session 1)");

    const ExtractSummary summary = Run();
    EXPECT_FALSE(summary.AllWhole());
    EXPECT_TRUE(fs::is_empty(dir_.File("elsewhere")));
}

TEST_F(ExtractorTest, ExistingFilesAreKeptUnlessOverwriting) {
    Add(root_, "FILE.TXT;1", 30, 100);
    fs::create_directories(target_ + "/DISC (Session 1)");
    std::ofstream(target_ + "/DISC (Session 1)/FILE.TXT") << "mine";

    ExtractSummary summary = Run();
    EXPECT_EQ(summary.Count(FileOutcome::kKept), 1);
    EXPECT_FALSE(summary.AllWhole());
    EXPECT_EQ(Out("FILE.TXT"), "mine");

    summary = Run({}, true);
    EXPECT_TRUE(summary.AllWhole());
    EXPECT_EQ(Out("FILE.TXT"), disc_.Bytes(30, 100));
}

TEST_F(ExtractorTest, AFileThatAppearsDuringTheCopyIsKeptUnlessOverwriting) {
    Add(root_, "FILE.TXT;1", 30, 100);
    // Another program writes the name after the check for an existing
    // file, just before the finished copy is renamed onto it.
    const std::string theirs = target_ + "/DISC (Session 1)/FILE.TXT";
    test_seams::SetOutputFaultHook([&theirs](std::string_view stage, std::uint64_t) {
        if (stage == "commit") std::ofstream(theirs) << "theirs";
        return 0;
    });

    ExtractSummary summary = Run();
    ASSERT_EQ(summary.files.size(), 1u);
    EXPECT_EQ(summary.files[0].outcome, FileOutcome::kKept);
    EXPECT_FALSE(summary.AllWhole());
    EXPECT_EQ(Out("FILE.TXT"), "theirs");
    EXPECT_EQ(Everything(), (std::set<std::string>{"out", "out/DISC (Session 1)", "out/DISC (Session 1)/FILE.TXT"}))
        << "no temporary file is left behind";

    summary = Run({}, true);
    EXPECT_TRUE(summary.AllWhole());
    EXPECT_EQ(Out("FILE.TXT"), disc_.Bytes(30, 100));
}

TEST_F(ExtractorTest, AFailedWriteLeavesNoHalfFile) {
    Add(root_, "BIG.BIN;1", 100, 100 * 2048);
    Add(root_, "NEW.BIN;1", 200, 100 * 2048);
    fs::create_directories(target_ + "/DISC (Session 1)");
    std::ofstream(target_ + "/DISC (Session 1)/BIG.BIN") << "old contents";
    // The disc fills up 64 KiB into each file.
    test_seams::SetOutputFaultHook([](std::string_view stage, std::uint64_t written) {
        return stage == "write" && written >= 64 * 1024 ? ENOSPC : 0;
    });

    const ExtractSummary summary = Run({}, true);
    ASSERT_EQ(summary.files.size(), 2u);
    for (const FileReport& file : summary.files) {
        EXPECT_EQ(file.outcome, FileOutcome::kFailed);
        EXPECT_FALSE(file.error.empty());
    }
    EXPECT_FALSE(summary.AllWhole());
    EXPECT_EQ(Out("BIG.BIN"), "old contents") << "the old file stays whole";
    EXPECT_EQ(Out("NEW.BIN"), "<none>");
    EXPECT_EQ(Everything(), (std::set<std::string>{"out", "out/DISC (Session 1)", "out/DISC (Session 1)/BIG.BIN"}))
        << "no temporary file is left behind";
}

TEST_F(ExtractorTest, StoppingMidFileLeavesNoHalfFile) {
    Add(root_, "BIG.BIN;1", 100, 100 * 2048);
    Add(root_, "AFTER.BIN;1", 30, 100);
    disc_.StopAfterReads(2);

    const ExtractSummary summary = Run();
    EXPECT_TRUE(summary.cancelled);
    EXPECT_FALSE(summary.AllWhole());
    EXPECT_TRUE(summary.files.empty()) << "the stopped file and those after it are not reported as written";
    EXPECT_EQ(Everything(), (std::set<std::string>{"out", "out/DISC (Session 1)"}));
}

TEST_F(ExtractorTest, PathsSelectFilesAndFoldersAsTheTreePrintsThem) {
    Add(root_, "README.TXT;1", 30, 100);
    scan::FoundItem* photos = Add(root_, "PHOTOS", 21, 2048, scan::ItemDirectory);
    Add(photos, "A.JPG;1", 40, 100);
    Add(photos, "B.JPG;1", 41, 100);
    scan::FoundItem* docs = Add(root_, "DOCS", 22, 2048, scan::ItemDirectory);
    Add(docs, "X.DOC;1", 42, 100);

    ExtractSummary summary = Run({"PHOTOS/A.JPG;1", "DISC (Session 1)/DOCS", "NOPE.TXT"});
    EXPECT_EQ(summary.Count(FileOutcome::kWritten), 2);
    EXPECT_EQ(summary.notFound, std::vector<std::string>{"NOPE.TXT"});
    EXPECT_FALSE(summary.AllWhole()) << "a path that names nothing is a failure";
    EXPECT_EQ(Out("PHOTOS/A.JPG"), disc_.Bytes(40, 100));
    EXPECT_EQ(Out("PHOTOS/B.JPG"), "<none>");
    EXPECT_EQ(Out("DOCS/X.DOC"), disc_.Bytes(42, 100));
    EXPECT_EQ(Out("README.TXT"), "<none>");

    // Without the version, with the root's full name, and the whole track.
    summary = Run({"\\ DISC (Session 1)/README.TXT"}, true);
    EXPECT_TRUE(summary.AllWhole());
    EXPECT_EQ(summary.Count(FileOutcome::kWritten), 1);
    summary = Run({"DISC (Session 1)"}, true);
    EXPECT_EQ(summary.Count(FileOutcome::kWritten), 4);
}

TEST_F(ExtractorTest, FilesOfOtherFileSystemsAreNotGuessedAt) {
    track_->flags = scan::TrackUdf;
    Add(root_, "UDF.TXT", 30, 100);
    const ExtractSummary summary = Run();
    EXPECT_EQ(summary.Count(FileOutcome::kUnsupported), 1);
    EXPECT_FALSE(summary.AllWhole());
}

TEST_F(ExtractorTest, ATargetThatCannotBeMadeIsReported) {
    std::ofstream(dir_.File("plainfile")) << "x";
    target_ = dir_.File("plainfile") + "/sub";
    Add(root_, "FILE.TXT;1", 30, 10);
    const ExtractSummary summary = Run();
    EXPECT_FALSE(summary.targetError.empty());
    EXPECT_FALSE(summary.AllWhole());
}

}  // namespace
}  // namespace dravik::extract

namespace dravik::extract {
namespace {

// An HFS file: its forks as runs of 512-byte sectors, which need not start
// or end on a 2048-byte block.
scan::MacFork Fork(std::uint32_t size, std::vector<scan::SectorRun> runs) {
    scan::MacFork fork;
    fork.size = size;
    fork.runs = std::move(runs);
    return fork;
}

// Items chosen in a view: a file alone, a directory with everything below
// it, or a whole track; the paths of the tree need not be given.
TEST_F(ExtractorTest, ChosenItemsAreCopiedWithEverythingBelowThem) {
    scan::FoundItem* readme = Add(root_, "README.TXT;1", 30, 100);
    scan::FoundItem* photos = Add(root_, "PHOTOS", 21, 2048, scan::ItemDirectory);
    scan::FoundItem* year = Add(photos, "2024", 22, 2048, scan::ItemDirectory);
    Add(year, "A.JPG;1", 40, 3000);
    Add(photos, "B.JPG;1", 50, 10);
    Add(root_, "OTHER.TXT;1", 60, 10);

    struct Case {
        const char* name;
        std::vector<const scan::FoundItem*> chosen;
        std::set<std::string> files;
    };
    const std::vector<Case> cases = {
        {"one file", {readme}, {"README.TXT"}},
        {"a directory", {photos}, {"PHOTOS/2024/A.JPG", "PHOTOS/B.JPG"}},
        {"a file and a nested directory", {readme, year}, {"README.TXT", "PHOTOS/2024/A.JPG"}},
        {"the track", {root_}, {"README.TXT", "PHOTOS/2024/A.JPG", "PHOTOS/B.JPG", "OTHER.TXT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(target_);
        ExtractOptions options;
        options.targetFolder = target_;
        options.items.insert(c.chosen.begin(), c.chosen.end());
        const ExtractSummary summary = ExtractFiles({root_}, disc_, options);
        EXPECT_TRUE(summary.AllWhole());
        std::set<std::string> written;
        for (const auto& entry : fs::recursive_directory_iterator(target_ + "/DISC (Session 1)"))
            if (entry.is_regular_file()) written.insert(fs::relative(entry.path(), target_ + "/DISC (Session 1)").string());
        EXPECT_EQ(written, c.files);
    }
    EXPECT_EQ(Out("PHOTOS/2024/A.JPG"), disc_.Bytes(40, 3000));
}

// The listener decides per file; existing files are replaced only when it
// says overwrite, and a stop ends the extraction before the file.
TEST_F(ExtractorTest, TheListenersDecisionRulesEachFile) {
    Add(root_, "NEW.TXT;1", 30, 100);
    Add(root_, "OLD.TXT;1", 40, 100);
    struct Case {
        FileDecision decision;
        FileOutcome newOutcome, oldOutcome;
        const char* oldContents;  // "disc": the disc's bytes
        bool cancelled;
    };
    const Case cases[] = {
        {FileDecision::kWrite, FileOutcome::kWritten, FileOutcome::kKept, "mine", false},
        {FileDecision::kOverwrite, FileOutcome::kWritten, FileOutcome::kWritten, "disc", false},
        {FileDecision::kSkip, FileOutcome::kSkipped, FileOutcome::kSkipped, "mine", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.decision));
        fs::remove_all(target_);
        fs::create_directories(target_ + "/DISC (Session 1)");
        std::ofstream(target_ + "/DISC (Session 1)/OLD.TXT") << "mine";
        std::vector<std::pair<std::string, bool>> asked;
        ExtractListener listener;
        listener.decide = [&](const std::string& path, bool exists) {
            asked.emplace_back(path, exists);
            return c.decision;
        };
        ExtractOptions options;
        options.targetFolder = target_;
        const ExtractSummary summary = ExtractFiles({root_}, disc_, options, listener);
        ASSERT_EQ(summary.files.size(), 2u);
        EXPECT_EQ(summary.files[0].outcome, c.newOutcome);
        EXPECT_EQ(summary.files[1].outcome, c.oldOutcome);
        EXPECT_EQ(Out("OLD.TXT"), std::string(c.oldContents) == "disc" ? disc_.Bytes(40, 100) : c.oldContents);
        EXPECT_EQ(summary.cancelled, c.cancelled);
        EXPECT_EQ(asked, (std::vector<std::pair<std::string, bool>>{{"DISC (Session 1)/NEW.TXT;1", false},
                                                                    {"DISC (Session 1)/OLD.TXT;1", true}}));
    }
}

TEST_F(ExtractorTest, AStopDecisionEndsTheExtractionAndWritesNothingMore) {
    Add(root_, "A.TXT;1", 30, 100);
    Add(root_, "B.TXT;1", 40, 100);
    Add(root_, "C.TXT;1", 50, 100);
    int asked = 0;
    ExtractListener listener;
    listener.decide = [&](const std::string&, bool) { return ++asked == 2 ? FileDecision::kStop : FileDecision::kWrite; };
    ExtractOptions options;
    options.targetFolder = target_;
    const ExtractSummary summary = ExtractFiles({root_}, disc_, options, listener);
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(summary.Count(FileOutcome::kWritten), 1);
    EXPECT_EQ(Out("A.TXT"), disc_.Bytes(30, 100));
    EXPECT_EQ(Out("B.TXT"), "<none>");
    EXPECT_EQ(Out("C.TXT"), "<none>");
}

// Progress: each file's start with its size, then its bytes as written,
// adding up to the size; a damaged file counts its zeros too.
TEST_F(ExtractorTest, ProgressTellsEachFileAndItsBytes) {
    Add(root_, "SMALL.TXT;1", 30, 100);
    Add(root_, "BIG.BIN;1", 100, 40 * 2048 + 5);
    disc_.MakeBad(110);
    std::vector<std::pair<std::string, std::uint64_t>> started;
    std::vector<std::uint64_t> bytes;
    ExtractListener listener;
    listener.onStart = [&](const std::string& path, std::uint64_t size) {
        started.emplace_back(path, size);
        bytes.push_back(0);
    };
    listener.onBytes = [&](std::uint64_t n) {
        ASSERT_FALSE(bytes.empty()) << "bytes before any file started";
        bytes.back() += n;
    };
    ExtractOptions options;
    options.targetFolder = target_;
    const ExtractSummary summary = ExtractFiles({root_}, disc_, options, listener);
    EXPECT_EQ(summary.Count(FileOutcome::kDamaged), 1);
    EXPECT_EQ(started, (std::vector<std::pair<std::string, std::uint64_t>>{{"DISC (Session 1)/SMALL.TXT;1", 100},
                                                                           {"DISC (Session 1)/BIG.BIN;1", 40 * 2048 + 5}}));
    EXPECT_EQ(bytes, (std::vector<std::uint64_t>{100, 40 * 2048 + 5}));
}

class HfsExtractorTest : public ExtractorTest {
protected:
    void SetUp() override {
        ExtractorTest::SetUp();
        track_->flags = scan::TrackHfs;
    }
    scan::FoundItem* AddMac(const std::string& name, scan::MacFork data, scan::MacFork resource = {}) {
        scan::FoundItem* item = scan::NewFoundItem(name);
        item->size = data.size;
        item->start = data.runs.empty() ? scan::StartNotAvailable : 7;  // an allocation block, not a disc block
        item->date = kDate;
        scan::MacFileInfo info;
        info.type = {'T', 'E', 'X', 'T'};
        info.creator = {'t', 't', 'x', 't'};
        std::copy(info.type.begin(), info.type.end(), info.finderInfo.begin());
        std::copy(info.creator.begin(), info.creator.end(), info.finderInfo.begin() + 4);
        info.data = std::move(data);
        info.resource = std::move(resource);
        scan::SetMacFileInfo(item, std::move(info));
        scan::AppendItem(root_, item);
        return item;
    }
    // What the runs hold, cut to `size`.
    std::string Expected(const scan::MacFork& fork) const {
        std::string bytes;
        for (const scan::SectorRun& run : fork.runs) bytes += disc_.At(run.firstSector * 512, run.sectors * 512u);
        return bytes.substr(0, fork.size);
    }
};

TEST_F(HfsExtractorTest, DataForksAreCopiedThroughEveryRunWhateverTheStartSays) {
    struct Case {
        const char* name;
        scan::MacFork fork;
    };
    const Case cases[] = {
        {"one run from a block start", Fork(3000, {{400, 6}})},
        {"one run starting mid-block", Fork(2000, {{401, 4}})},
        {"a run ending mid-block", Fork(700, {{403, 2}})},
        {"three runs out of order", Fork(5000, {{830, 3}, {413, 5}, {600, 3}})},
        {"a run longer than one read", Fork(40000, {{1001, 80}})},
        {"empty data fork", Fork(0, {})},
    };
    for (const Case& c : cases) AddMac(c.name, c.fork);
    const ExtractSummary summary = Run();
    EXPECT_TRUE(summary.AllWhole());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Out(c.name), Expected(c.fork));
    }
    EXPECT_EQ(Out("._one run from a block start"), "<none>");  // only on request
}

TEST_F(HfsExtractorTest, ResourceForksGoBesideTheFileAsAppleDouble) {
    const scan::MacFork resource = Fork(1500, {{901, 3}});
    AddMac("Letter", Fork(100, {{410, 1}}), resource);
    const ExtractSummary summary = Run({}, false, true);
    EXPECT_TRUE(summary.AllWhole());
    const std::string appleDouble = Out("._Letter");
    ASSERT_EQ(appleDouble.size(), 82u + 1500u);
    EXPECT_EQ(appleDouble.substr(0, 8), std::string("\x00\x05\x16\x07\x00\x02\x00\x00", 8));
    EXPECT_EQ(appleDouble.substr(24, 2), std::string("\x00\x02", 2));  // two entries
    // Finder information (entry 9) at 50 for 32, resource fork (entry 2) at 82.
    EXPECT_EQ(appleDouble.substr(26, 12), std::string("\0\0\0\x09\0\0\0\x32\0\0\0\x20", 12));
    EXPECT_EQ(appleDouble.substr(38, 12), std::string("\0\0\0\x02\0\0\0\x52\0\0\x05\xdc", 12));
    EXPECT_EQ(appleDouble.substr(50, 8), "TEXTttxt");
    EXPECT_EQ(appleDouble.substr(82), Expected(resource));
    EXPECT_EQ(Out("Letter"), Expected(Fork(100, {{410, 1}})));
}

TEST_F(HfsExtractorTest, UnreadableAndMissingDataIsReportedAsForIsoFiles) {
    AddMac("Damaged", Fork(4096, {{401, 8}}));
    scan::FoundItem* cut = AddMac("Cut", Fork(4096, {{600, 2}}));
    cut->flags |= scan::ItemMissing;  // its extents end before its size
    disc_.MakeBad(101);
    const ExtractSummary summary = Run();
    ASSERT_EQ(summary.files.size(), 2u);
    EXPECT_EQ(summary.files[0].outcome, FileOutcome::kDamaged);
    EXPECT_EQ(BlockRangesText(summary.files[0].unreadable), "101");
    EXPECT_EQ(Out("Damaged").substr(0, 1536), Expected(Fork(1536, {{401, 3}})));
    EXPECT_EQ(Out("Damaged").substr(1536, 2048), std::string(2048, '\0'));
    EXPECT_EQ(summary.files[1].outcome, FileOutcome::kMissing);
}

}  // namespace
}  // namespace dravik::extract
