// The copy of the graphical program, headless: the questions turned into
// decisions, the totals a copy counts first, the job on its worker thread
// (progress, cancel, one copy at a time) and the list the summary shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "program/app/copy_job.h"
#include "program/app/copy_list.h"
#include "program/app/copy_questions.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "support/temp_dir.h"

namespace dravik::app {
namespace {

namespace fs = std::filesystem;
using extract::FileDecision;
using extract::FileOutcome;

// --- questions ------------------------------------------------------------

struct QuestionCase {
    const char* name;
    bool askEachFile;
    std::vector<CopyAnswer> copyAnswers;       // given in turn to the per-file question
    std::vector<CopyAnswer> overwriteAnswers;  // given in turn to the replace question
    std::vector<bool> exists;                  // per file
    std::vector<FileDecision> expected;        // per file
    int copyAsked, overwriteAsked;
};

TEST(CopyQuestionsTest, AnswersBecomeDecisionsAndAllAnswersAreAskedOnce) {
    using A = CopyAnswer;
    using D = FileDecision;
    const QuestionCase cases[] = {
        {"no questions, nothing exists", false, {}, {}, {false, false}, {D::kWrite, D::kWrite}, 0, 0},
        {"replace yes, then no", false, {}, {A::kYes, A::kNo}, {true, true}, {D::kOverwrite, D::kWrite}, 0, 2},
        {"replace all", false, {}, {A::kYesToAll}, {true, false, true}, {D::kOverwrite, D::kWrite, D::kOverwrite}, 0, 1},
        {"keep all", false, {}, {A::kNoToAll}, {true, true}, {D::kWrite, D::kWrite}, 0, 1},
        {"cancel at a replace", false, {}, {A::kCancel}, {true}, {D::kStop}, 0, 1},
        {"each file: yes, no, cancel", true, {A::kYes, A::kNo, A::kCancel}, {}, {false, false, false},
         {D::kWrite, D::kSkip, D::kStop}, 3, 0},
        {"each file: copy all stops asking", true, {A::kYesToAll}, {A::kYes}, {false, true, false},
         {D::kWrite, D::kOverwrite, D::kWrite}, 1, 1},
        {"each file: none skips the rest unasked", true, {A::kYes, A::kNoToAll}, {}, {false, true, true},
         {D::kWrite, D::kSkip, D::kSkip}, 2, 0},
        {"a skipped file is not asked to be replaced", true, {A::kNo}, {A::kYes}, {true}, {D::kSkip}, 1, 0},
    };
    for (const QuestionCase& c : cases) {
        SCOPED_TRACE(c.name);
        int copyAsked = 0, overwriteAsked = 0;
        CopyQuestions questions(
            c.askEachFile,
            [&](const std::string&) { return c.copyAnswers.at(static_cast<std::size_t>(copyAsked++)); },
            [&](const std::string&) { return c.overwriteAnswers.at(static_cast<std::size_t>(overwriteAsked++)); });
        std::vector<FileDecision> decided;
        for (std::size_t i = 0; i < c.exists.size(); ++i) {
            decided.push_back(questions.Decide("T/F" + std::to_string(i), c.exists[i]));
            if (decided.back() == D::kStop) break;
        }
        EXPECT_EQ(decided, c.expected);
        EXPECT_EQ(copyAsked, c.copyAsked);
        EXPECT_EQ(overwriteAsked, c.overwriteAsked);
    }
}

// --- the list -----------------------------------------------------------

TEST(CopyListTest, CountsAndLinesTellEachOutcome) {
    extract::ExtractSummary summary;
    summary.files = {
        {FileOutcome::kWritten, false, "T/A.TXT;1", "T/A.TXT", {}, {}},
        {FileOutcome::kDamaged, false, "T/B.BIN;1", "T/B.BIN", {{120, 121}, {140, 140}}, {}},
        {FileOutcome::kMissing, false, "T/C.BIN;1", {}, {}, {}},
        {FileOutcome::kKept, false, "T/D.TXT;1", "T/D.TXT", {}, {}},
        {FileOutcome::kSkipped, false, "T/E.TXT;1", "T/E.TXT", {}, {}},
        {FileOutcome::kFailed, false, "T/F.TXT;1", "T/F.TXT", {}, "No space left on device"},
    };
    const CopyCounts counts = CountCopyOutcomes(summary);
    EXPECT_EQ(counts.written, 1);
    EXPECT_EQ(counts.damaged, 1);
    EXPECT_EQ(counts.missing, 1);
    EXPECT_EQ(counts.skipped, 2);
    EXPECT_EQ(counts.failed, 1);
    EXPECT_EQ(CopyHeadline(summary), "1 written, 1 damaged, 1 missing, 2 skipped, 1 failed");
    summary.cancelled = true;
    EXPECT_EQ(CopyHeadline(summary), "1 written, 1 damaged, 1 missing, 2 skipped, 1 failed, cancelled");

    const std::string text = CopyListText(summary);
    const std::string lines[] = {
        "written  T/A.TXT\n",
        "damaged  T/B.BIN  unreadable blocks 120-121, 140 (written as zeros)\n",
        "missing  T/C.BIN;1  its data is not on the disc\n",
        "skipped  T/D.TXT;1  a file of that name exists and was kept\n",
        "skipped  T/E.TXT;1  not copied, as asked\n",
        "failed   T/F.TXT;1  No space left on device\n",
    };
    std::size_t at = 0;
    for (const std::string& line : lines) {
        const std::size_t found = text.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "in order in:\n" << text;
        if (found != std::string::npos) at = found + line.size();
    }
}

// --- totals and the job -----------------------------------------------------

// A disc of numbered blocks; `slow` makes each read wait, so a test can
// cancel in the middle of a file.
class SlowDisc : public extract::BlockSource {
public:
    explicit SlowDisc(std::int32_t blocks) : data_(std::size_t(blocks) * extract::kBlockBytes) {
        for (std::size_t i = 0; i < data_.size(); ++i) data_[i] = static_cast<std::uint8_t>(i * 13 % 251);
    }
    bool Read(std::int32_t block, int count, std::uint8_t* out) override {
        reads_++;
        if (slow_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (block < 0 || std::size_t(block + count) * extract::kBlockBytes > data_.size()) return false;
        std::copy_n(data_.begin() + std::ptrdiff_t(block) * extract::kBlockBytes,
                    std::size_t(count) * extract::kBlockBytes, out);
        return true;
    }
    std::string Bytes(std::int32_t block, std::uint32_t length) const {
        const auto begin = data_.begin() + std::ptrdiff_t(block) * extract::kBlockBytes;
        return std::string(begin, begin + length);
    }
    std::atomic<bool> slow_{false};
    std::atomic<int> reads_{0};

private:
    std::vector<std::uint8_t> data_;
};

class CopyJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        scan::TrackNode* track = scan::NewTrackNode();
        track->number = 1;
        track->session = 1;
        track->flags = scan::TrackIso;
        scan::AppendTrackNode(track);
        root_ = scan::NewFoundItem("\\ DISC (Session 1)", scan::kRootNameRoom);
        root_->flags = scan::ItemDirectory;
        scan::AttachRootItem(track, root_);
        Add(root_, std::string(1, '\0'), 20, 2048, scan::ItemDirectory);
        Add(root_, std::string(1, '\1'), 20, 2048, scan::ItemDirectory);
        target_ = dir_.File("out");
    }
    void TearDown() override { scan::ClearTrackList(false); }

    static scan::FoundItem* Add(scan::FoundItem* dir, const std::string& name, std::int32_t start, std::uint32_t size,
                                std::uint16_t flags = 0) {
        scan::FoundItem* item = scan::NewFoundItem(name);
        item->start = start;
        item->size = size;
        item->flags = flags;
        scan::AppendItem(dir, item);
        return item;
    }
    extract::ExtractOptions Options(std::vector<const scan::FoundItem*> chosen) const {
        extract::ExtractOptions options;
        options.targetFolder = target_;
        options.items.insert(chosen.begin(), chosen.end());
        return options;
    }
    static bool WaitFor(const std::function<bool()>& condition) {
        for (int i = 0; i < 2000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return condition();
    }

    test::TempDir dir_;
    std::string target_;
    SlowDisc disc_{800};
    scan::FoundItem* root_ = nullptr;
};

TEST_F(CopyJobTest, TotalsCountEachFileOnceBelowTheChosenItems) {
    scan::FoundItem* a = Add(root_, "A.TXT;1", 30, 100);
    scan::FoundItem* photos = Add(root_, "PHOTOS", 21, 2048, scan::ItemDirectory);
    Add(photos, std::string(1, '\0'), 21, 2048, scan::ItemDirectory);
    scan::FoundItem* b = Add(photos, "B.JPG;1", 40, 5000);
    Add(photos, "C.JPG;1", 50, 7);
    struct Case {
        std::vector<const scan::FoundItem*> chosen;
        int files;
        std::uint64_t bytes;
    };
    const Case cases[] = {
        {{}, 0, 0}, {{a}, 1, 100}, {{photos}, 2, 5007}, {{photos, b}, 2, 5007}, {{root_}, 3, 5107},
    };
    for (const Case& c : cases) {
        const CopyTotals totals = CountCopy({c.chosen.begin(), c.chosen.end()});
        EXPECT_EQ(totals.files, c.files);
        EXPECT_EQ(totals.bytes, c.bytes);
    }
}

TEST_F(CopyJobTest, CopiesOnItsThreadAndEndsWithAllCounted) {
    scan::FoundItem* photos = Add(root_, "PHOTOS", 21, 2048, scan::ItemDirectory);
    Add(photos, "B.JPG;1", 40, 5000);
    Add(photos, "C.JPG;1", 50, 7);
    CopyJob job;
    ASSERT_TRUE(job.Start({root_}, Options({photos}), disc_));
    ASSERT_TRUE(WaitFor([&] { return job.Finished(); }));
    job.Join();
    EXPECT_FALSE(CopyRunning());
    const CopyProgress progress = job.Progress();
    EXPECT_EQ(progress.filesDone, 2);
    EXPECT_EQ(progress.filesTotal, 2);
    EXPECT_EQ(progress.bytesDone, 5007u);
    EXPECT_EQ(progress.bytesTotal, 5007u);
    EXPECT_TRUE(job.Summary().AllWhole());
    std::ifstream in(target_ + "/DISC (Session 1)/PHOTOS/B.JPG", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), disc_.Bytes(40, 5000));
}

TEST_F(CopyJobTest, CancelRemovesTheFileBeingWrittenKeepsTheWrittenAndHoldsBackASecondCopy) {
    Add(root_, "FIRST.TXT;1", 30, 100);
    Add(root_, "BIG.BIN;1", 100, 600 * 2048);
    disc_.slow_ = true;
    CopyJob job;
    ASSERT_TRUE(job.Start({root_}, Options({root_}), disc_));
    EXPECT_TRUE(CopyRunning());
    CopyJob second;
    EXPECT_FALSE(second.Start({root_}, Options({root_}), disc_)) << "one copy at a time";
    ASSERT_TRUE(WaitFor([&] { return job.Progress().bytesDone > 100 + 4 * 2048; }));
    EXPECT_EQ(job.Progress().currentFile, "DISC (Session 1)/BIG.BIN;1");
    job.Cancel();
    ASSERT_TRUE(WaitFor([&] { return job.Finished(); }));
    job.Join();
    EXPECT_TRUE(job.Summary().cancelled);
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(target_)) left.push_back(fs::relative(entry.path(), target_).string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"DISC (Session 1)", "DISC (Session 1)/FIRST.TXT"}));
    EXPECT_FALSE(CopyRunning());
    EXPECT_TRUE(second.Start({root_}, Options({}), disc_)) << "a copy may start once the first has ended";
    second.Join();
}

TEST_F(CopyJobTest, TheDecisionRunsOnTheWorkerAndCanStopTheCopy) {
    Add(root_, "A.TXT;1", 30, 100);
    Add(root_, "B.TXT;1", 31, 100);
    std::vector<std::string> asked;
    CopyJob job;
    ASSERT_TRUE(job.Start({root_}, Options({root_}), disc_, [&](const std::string& path, bool) {
        asked.push_back(path);
        return asked.size() == 1 ? FileDecision::kSkip : FileDecision::kStop;
    }));
    job.Join();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_TRUE(job.Summary().cancelled);
    EXPECT_EQ(job.Summary().Count(FileOutcome::kSkipped), 1);
    EXPECT_FALSE(fs::exists(target_ + "/DISC (Session 1)/B.TXT"));
}

}  // namespace
}  // namespace dravik::app
