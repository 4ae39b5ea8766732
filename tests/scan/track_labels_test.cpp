#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "catalogue_fixture.h"
#include "support/recording_shell_port.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_measure.h"

namespace dravik::test {
namespace {

using namespace dravik::scan;

class TrackLabelsTest : public CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        SetLabelTextSource([this](unsigned id) {
            auto found = texts_.find(id);
            return found == texts_.end() ? std::string() : found->second;
        });
        port::InstallShellPort(&shell_);
    }
    std::map<unsigned, std::string> texts_ = {
        {kAudioTrackLabel, "Audio %d:%02d"},
        {kLeadOutLabel, "Lead-out %d"},
        {kUnrecognisedTrackLabel, "Unknown data, %d blocks"},
        {kSamplerTrackLabel, "Sampler %d"},
    };
    // The items shown in the tree, in order.
    std::vector<const void*> Shown() const { return shell_.TreeItems(); }
    RecordingShellPort shell_;
};

TEST_F(TrackLabelsTest, AudioTracksAreLabelledWithTheirMinutesAndSeconds) {
    TrackNode* one = AddTrack(1, 0, 0, 0x0);
    TrackNode* two = AddTrack(2, 4500 * 3 + 75 * 7 + 74, 0, 0x0);
    TrackNode* three = AddTrack(3, 20000, 0, 0x0);
    LabelAudioTrack(one);
    LabelAudioTrack(two);
    LabelAudioTrack(three);
    ASSERT_NE(one->rootItem, nullptr);
    EXPECT_STREQ(one->rootItem->Name(), "Audio 3:07");
    EXPECT_STREQ(two->rootItem->Name(), "Audio 1:18") << "20000 - 14099 = 5901 blocks";
    EXPECT_STREQ(three->rootItem->Name(), "Audio 0:00") << "the last track has no length";
    EXPECT_EQ(one->rootItem->flags, ItemUnnamed);
    EXPECT_EQ(one->rootItem->track, one);
    EXPECT_EQ(one->rootItem->parent, nullptr);
    EXPECT_EQ(Shown(), (std::vector<const void*>{one->rootItem, two->rootItem, three->rootItem}));
}

TEST_F(TrackLabelsTest, AnAudioTrackNamedFromCdTextKeepsItsItem) {
    TrackNode* one = AddTrack(1, 0, 0, 0x0);
    AddTrack(2, 9000, 0, 0x0);
    FoundItem* title = NewFoundItem("Overture (2.00)");
    title->flags = ItemUnnamed;
    AttachRootItem(one, title);
    LabelAudioTrack(one);
    EXPECT_EQ(one->rootItem, title);
    EXPECT_EQ(title->flags, 0);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(TrackLabelsTest, LeadOutUnrecognisedAndSamplerLabels) {
    TrackNode* data = AddTrack(1, 150, 2150);
    TrackNode* sampler = AddTrack(2, 3000, 0);
    TrackNode* leadOut = AddTrack(kLeadOutNumber, 4000, 0, 0x14);
    LabelUnrecognisedTrack(data);
    LabelSamplerTrack(sampler);
    LabelLeadOut(leadOut);
    EXPECT_STREQ(data->rootItem->Name(), "Unknown data, 2000 blocks");
    EXPECT_STREQ(sampler->rootItem->Name(), "Sampler 1000");
    EXPECT_STREQ(leadOut->rootItem->Name(), "Lead-out 4000");
    EXPECT_EQ(leadOut->rootItem->flags, 0);
    EXPECT_EQ(Shown().size(), 3u);
}

TEST_F(TrackLabelsTest, UnusableModuleTextsGiveWayToTheProgramsOwn) {
    // Missing, asking for a text argument, asking for more numbers than
    // passed: none of these may reach the formatter.
    texts_ = {{kLeadOutLabel, "Lead-out %s"}, {kUnrecognisedTrackLabel, "%d of %d blocks"}};
    EXPECT_EQ(TrackLabel(kLeadOutLabel, 4000), "Lead-out at block 4000");
    EXPECT_EQ(TrackLabel(kUnrecognisedTrackLabel, 12), "Unrecognised track (12 blocks)");
    EXPECT_EQ(TrackLabel(kAudioTrackLabel, 4, 5), "Audio track (4:05)");
    texts_[kAudioTrackLabel] = "%n%n%n";
    EXPECT_EQ(TrackLabel(kAudioTrackLabel, 4, 5), "Audio track (4:05)");
    // Fewer conversions than numbers are fine.
    texts_[kAudioTrackLabel] = "Audio, %d minutes";
    EXPECT_EQ(TrackLabel(kAudioTrackLabel, 4, 5), "Audio, 4 minutes");
    // A long text is cut, not overrun.
    texts_[kLeadOutLabel] = std::string(5000, 'x') + "%d";
    EXPECT_EQ(TrackLabel(kLeadOutLabel, 1).size(), 200u);
    EXPECT_EQ(TrackLabel(999, 1), "");
    // Without a source of its own the program's language module is asked;
    // none is loaded here.
    SetLabelTextSource(nullptr);
    EXPECT_EQ(TrackLabel(kLeadOutLabel, 5), "Lead-out at block 5");
}

TEST_F(TrackLabelsTest, SamplerDiscsAreRecognisedByTheirCopyrightText) {
    auto block = [](const char* text) {
        std::vector<std::uint8_t> data(2048, 0);
        std::memcpy(data.data() + 64, text, std::strlen(text));
        return data;
    };
    EXPECT_TRUE(IsSamplerDiscBlock(block("Copyright Roland").data(), 2048));
    EXPECT_TRUE(IsSamplerDiscBlock(block("   Copyright    Roland Corp.").data(), 2048));
    EXPECT_TRUE(IsSamplerDiscBlock(block("CopyrightRoland").data(), 2048));
    EXPECT_FALSE(IsSamplerDiscBlock(block("Copyright Rolan").data(), 2048));
    EXPECT_FALSE(IsSamplerDiscBlock(block("copyright Roland").data(), 2048));
    EXPECT_FALSE(IsSamplerDiscBlock(block("(C) Roland").data(), 2048));
    std::vector<std::uint8_t> blanks(2048, ' ');
    EXPECT_FALSE(IsSamplerDiscBlock(blanks.data(), blanks.size()));
    // A short read never makes the check look past what was read.
    std::vector<std::uint8_t> shortRead = block("Copyright Roland");
    EXPECT_FALSE(IsSamplerDiscBlock(shortRead.data(), 64 + 12));
    EXPECT_FALSE(IsSamplerDiscBlock(shortRead.data(), 10));
    EXPECT_FALSE(IsSamplerDiscBlock(nullptr, 2048));
}

TEST_F(TrackLabelsTest, TrackEndIsTheEndOfTheFurthestData) {
    TrackNode* track = AddTrack(1, 0, 99999);
    FoundItem* root = AddRoot(track);
    root->start = 20;
    root->size = 2048;
    Add(root, "A", 30, 2048);                                  // ends 31
    FoundItem* dir = Add(root, "DIR", 40, 4096, ItemDirectory);  // ends 42
    FoundItem* sub = Add(dir, "SUB", 50, 2048, ItemDirectory);
    Add(sub, "DEEP", 100, 2049);                               // ends 102
    Add(dir, "LOST", StartNotAvailable, 1u << 30);
    Add(root, "EMPTYDIR", 60, 0, ItemDirectory);
    MeasureTrackEnd(track);
    EXPECT_EQ(track->end, 102);
    EXPECT_EQ(track->dirDepth, 3);

    // Nothing that uses a block: the end is 0.
    TrackNode* bare = AddTrack(2, 500, 600);
    FoundItem* bareRoot = AddRoot(bare);
    Add(bareRoot, "GONE", StartNotAvailable, 100);
    MeasureTrackEnd(bare);
    EXPECT_EQ(bare->end, 0);
    EXPECT_EQ(bare->dirDepth, 1);

    // HFS nodes keep their end.
    TrackNode* hfs = AddTrack(3, 0, 777);
    hfs->flags = TrackHfs;
    Add(AddRoot(hfs), "X", 10, 1);
    MeasureTrackEnd(hfs);
    EXPECT_EQ(hfs->end, 777);

    // A hostile start and size stay within 32 bits.
    TrackNode* big = AddTrack(4, 0, 1);
    Add(AddRoot(big), "HUGE", INT32_MAX - 1, 0xFFFFFFFFu);
    MeasureTrackEnd(big);
    EXPECT_EQ(big->end, INT32_MAX);
}

TEST(ScanState, VolumeNameFromTheFirstRootItem) {
    EXPECT_EQ(RootItemName("MYDISC", 1), "\\ MYDISC (Session 1)");
    EXPECT_EQ(VolumeNameFromRootName(RootItemName("MYDISC", 1)), "MYDISC");
    EXPECT_EQ(VolumeNameFromRootName(RootItemName("", 3)), "");
    EXPECT_EQ(VolumeNameFromRootName("\\ MYDISC (Session 1)"), "MYDISC");
    EXPECT_EQ(VolumeNameFromRootName("\\ A (B) (Session 2)"), "A (B)");
    EXPECT_EQ(VolumeNameFromRootName("Track title"), "Track title");
    EXPECT_EQ(VolumeNameFromRootName("Audio (3.07)"), "Audio");
    EXPECT_EQ(VolumeNameFromRootName("(x)"), "");
    EXPECT_EQ(VolumeNameFromRootName("\\"), "");
    EXPECT_EQ(VolumeNameFromRootName(""), "");
}

TEST(ScanState, VolumeNameKeepsAtMost200BytesAndWholeCharacters) {
    std::string longName = "x";
    for (int i = 0; i < 150; ++i) longName += "\xC3\xA9";
    SetVolumeName(longName);
    EXPECT_LE(VolumeName.size(), kMaxVolumeName);
    EXPECT_EQ(VolumeName, longName.substr(0, 199)) << "200 would split a character";
    SetVolumeName("MYDISC");
    EXPECT_EQ(ScanCaption(false), "MYDISC - " + ProgramTitle);
    EXPECT_EQ(ScanCaption(true), ProgramTitle);
    SetVolumeName("");
}

}  // namespace
}  // namespace dravik::test
