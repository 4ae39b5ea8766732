// Several sessions inside one image file, as xorriso writes them: with
// -grow_blindly behind a first session, and on a file it treats as a
// multi-session medium (blocks 0-31 then copy the newest session's
// descriptors). Each session becomes a track of its own, read in order as
// "(Session N)"; a single-session image reads no more than its volume.
#include "iso_real_image_fixture.h"

namespace dravik::test {
namespace {

class SessionImageTest : public RealImageTest {
protected:
    // Reads the track and every session node the reader adds after it;
    // the file sizes of each session that yielded a tree, in order.
    std::vector<std::map<std::string, std::uint32_t>> ReadAll(scan::TrackNode* track) {
        std::vector<std::map<std::string, std::uint32_t>> sessions;
        for (scan::TrackNode* node = track; node && node->number != scan::kLeadOutNumber; node = node->next) {
            Read(node);
            if (!node->rootItem) continue;
            const std::string suffix = "(Session " + std::to_string(node->session) + ")";
            const std::string name = node->rootItem->Name();
            EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix) << name;
            sessions.push_back(FileSizes(node));
        }
        return sessions;
    }

    void MakeFirstSession() {
        AddFile("gone.txt", 3000);
        AddFile("old/keep.txt", 100);
        first_ = files_;
    }
    // The second session: gone.txt removed, new/added.txt added.
    void ChangeForSecondSession() {
        fs::remove(fs::path(source_) / "gone.txt");
        files_.erase("gone.txt");
        AddFile("new/added.txt", 5000);
    }

    std::map<std::string, std::uint32_t> first_;
};

TEST_F(SessionImageTest, GrowBlindlyImageYieldsBothSessions) {
    REQUIRE_TOOL("genisoimage");
    REQUIRE_TOOL("xorriso");
    MakeFirstSession();
    Run("genisoimage -quiet -R -V GROWN -o s1.iso src");
    // The second session starts on a 32-block boundary, as xorriso puts
    // sessions on files; the space up to it stays blank.
    const std::int32_t next = (Blocks(dir_.File("s1.iso")) + 31) / 32 * 32;
    Run("truncate -s " + std::to_string(std::int64_t{next} * 2048) + " s1.iso");
    ChangeForSecondSession();
    Run("xorriso -indev s1.iso -outdev s2.iso -grow_blindly " + std::to_string(next) +
        " -map src/new /new -rm /gone.txt -- -commit && cat s1.iso s2.iso > two.iso");
    for (const bool zeroed : {false, true}) {
        SCOPED_TRACE(zeroed ? "first descriptors zeroed" : "whole");
        const std::string image = dir_.File("two.iso");
        if (zeroed)
            for (std::int32_t block = 16; block < 19; ++block) ZeroBlock(image, block);
        Insert(image);
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, Blocks(image));
        AddLeadOut(Blocks(image));
        const auto sessions = ReadAll(track);
        ASSERT_FALSE(sessions.empty());
        // Session 2 lists the files that stayed and the new one; session 1
        // still lists the deleted file (without its descriptors, through
        // its Rock Ridge root found by searching, which the user is told).
        ASSERT_EQ(sessions.size(), 2u);
        EXPECT_EQ(sessions.front(), first_);
        EXPECT_EQ(sessions.back(), files_);
        EXPECT_EQ(track->end, next);
        EXPECT_EQ(DialogTexts().size(), zeroed ? 1u : 0u);
    }
}

// With the first session's descriptors gone, nothing tells where the volume
// ends, and the search samples one block in 16. A later session is still
// found wherever it starts, from whatever of it a sample meets: a descriptor
// of its set, a path table, a directory (xorriso's Joliet directories name
// themselves as their parent). The first session is read from its Rock
// Ridge root, found by searching.
TEST_F(SessionImageTest, LaterSessionFoundWhereverItStartsWhenTheFirstIsZeroed) {
    REQUIRE_TOOL("genisoimage");
    REQUIRE_TOOL("xorriso");
    MakeFirstSession();
    Run("genisoimage -quiet -R -J -V GROWN -o s1.iso src");
    ChangeForSecondSession();
    for (int folder = 1; folder <= 5; ++folder) AddFile("new/d" + std::to_string(folder) + "/more.txt", 3000);
    const std::int32_t firstBlocks = Blocks(dir_.File("s1.iso"));
    for (std::int32_t next = firstBlocks; next < firstBlocks + 16; ++next) {
        SCOPED_TRACE("second session at block " + std::to_string(next));
        Run("cp s1.iso t1.iso && truncate -s " + std::to_string(std::int64_t{next} * 2048) +
            " t1.iso && rm -f t2.iso && xorriso -indev t1.iso -outdev t2.iso -joliet on -grow_blindly " +
            std::to_string(next) + " -map src/new /new -rm /gone.txt -- -commit && cat t1.iso t2.iso > two.iso");
        const std::string image = dir_.File("two.iso");
        for (std::int32_t block = 16; block < 20; ++block) ZeroBlock(image, block);
        Insert(image);
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, Blocks(image));
        AddLeadOut(Blocks(image));
        const auto sessions = ReadAll(track);
        EXPECT_EQ(track->next->start, next);
        ASSERT_EQ(sessions.size(), 2u);
        EXPECT_EQ(sessions.front(), first_);
        EXPECT_EQ(sessions.back(), files_);
    }
}

TEST_F(SessionImageTest, XorrisoMultiSessionFileYieldsEverySessionOnce) {
    REQUIRE_TOOL("xorriso");
    MakeFirstSession();
    Run("xorriso -dev multi.iso -map src / -commit");
    ChangeForSecondSession();
    Run("xorriso -dev multi.iso -map src/new /new -rm /gone.txt -- -commit");
    const std::string image = dir_.File("multi.iso");
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    const auto sessions = ReadAll(track);
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[0], first_);
    EXPECT_EQ(sessions[1], files_);
    EXPECT_EQ(track->start, 32);
    ExpectContents(track->next);
}

TEST_F(SessionImageTest, SingleSessionImageReadsOnlyItsVolume) {
    REQUIRE_TOOL("genisoimage");
    MakeFirstSession();
    Run("genisoimage -quiet -R -J -V SINGLE -o one.iso src");
    const std::string image = dir_.File("one.iso");
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    const std::vector<std::int32_t> single = BlocksRead();
    EXPECT_EQ(FileSizes(track), files_);
    EXPECT_EQ(track->next->number, scan::kLeadOutNumber);
    EXPECT_EQ(track->end, Blocks(image));

    // The same volume followed by a track of another kind: no session
    // search can run there, and the reads are the same.
    scan::ClearTrackList(false);
    track = AddTrack(0, Blocks(image));
    AddTrack(Blocks(image) + 150, Blocks(image) + 300, 2, 1, 0x00);
    AddLeadOut(Blocks(image) + 300);
    ASSERT_TRUE(Read(track));
    EXPECT_EQ(BlocksRead(), single);

    // Blank space after the volume is looked at one block in 16, quietly.
    Run("dd if=/dev/zero bs=2048 count=320 >> one.iso");
    Insert(image);
    scan::ClearTrackList(false);
    track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    EXPECT_LE(BlocksRead().size(), single.size() + 320 / 16 + 5);
    EXPECT_EQ(track->next->number, scan::kLeadOutNumber);
    EXPECT_TRUE(DialogTexts().empty());
}

}  // namespace
}  // namespace dravik::test
