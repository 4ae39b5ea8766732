// The advice after a scan: which topics a track list earns, once a run
// where they would repeat, the page cursor, and the placeholders of a
// topic text.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "device/regstore/registry_store.h"
#include "program/app/results_advice.h"
#include "program/scan/track_list.h"
#include "support/temp_dir.h"

namespace dravik::test {
namespace {

using app::AdviceOnceFlags;
using app::ChooseAdviceTopics;

// A track list on the stack: nodes linked in order, the lead-out last.
class TrackListBuilder {
public:
    TrackListBuilder& Data(std::uint32_t flags) { return Add(scan::kControlData, flags); }
    TrackListBuilder& Audio() { return Add(0, 0); }
    // A blank area as the TOC shows it: not marked as data.
    TrackListBuilder& Blank() { return Add(0, scan::TrackBlank); }
    const scan::TrackNode* Head() {
        Add(scan::kControlData, 0, scan::kLeadOutNumber);
        for (std::size_t i = 0; i + 1 < nodes_.size(); ++i) nodes_[i].next = &nodes_[i + 1];
        return &nodes_.front();
    }

private:
    TrackListBuilder& Add(std::uint8_t control, std::uint32_t flags, std::uint8_t number = 0) {
        scan::TrackNode node{};
        node.control = control;
        node.flags = flags;
        node.number = number ? number : static_cast<std::uint8_t>(nodes_.size() + 1);
        nodes_.push_back(node);
        return *this;
    }
    std::vector<scan::TrackNode> nodes_;
};

using Topics = std::vector<unsigned>;

TEST(ResultsAdviceTest, EachKindOfDiscGetsItsTopics) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> dataTracks;  // flags of each data track
        bool withAudio;                         // an audio track first
        Topics topics;
    };
    const Case cases[] = {
        {"audio only", {}, true, {1301}},
        {"a data track nothing read", {0}, false, {1302}},
        // A blank data track is a data track nothing was read from.
        {"a blank data track", {scan::TrackBlank}, false, {1302}},
        {"ISO with files missing", {scan::TrackIso | scan::TrackFilesMissing}, false, {1305, 1306}},
        {"ISO, nothing missing", {scan::TrackIso | scan::TrackJoliet}, true, {}},
        {"UDF", {scan::TrackUdf}, false, {1307, 1308, 1306}},
        {"UDF bridge (ISO and UDF)", {scan::TrackIso | scan::TrackUdf}, false, {1307, 1308, 1306}},
        {"HFS is read, no advice", {scan::TrackHfs}, false, {}},
        {"unread track beats ISO", {scan::TrackIso | scan::TrackFilesMissing, 0}, false, {1302}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TrackListBuilder list;
        if (c.withAudio) list.Audio();
        for (std::uint32_t flags : c.dataTracks) list.Data(flags);
        AdviceOnceFlags flags;
        EXPECT_EQ(ChooseAdviceTopics(list.Head(), flags), c.topics) << c.what;
    }
}

TEST(ResultsAdviceTest, RepeatingTopicsAreOfferedOnceARun) {
    AdviceOnceFlags flags;
    // Audio only: the first scan, not the second.
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Audio().Audio().Head(), flags), Topics{1301});
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Audio().Head(), flags), Topics{});
    // ISO with files missing, then a UDF disc: the copy advice only once.
    const std::uint32_t missing = scan::TrackIso | scan::TrackFilesMissing;
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Data(scan::TrackIso).Data(missing).Head(), flags),
              (Topics{1305, 1306}));
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Data(missing).Head(), flags), Topics{});
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Data(scan::TrackUdf).Head(), flags), (Topics{1307, 1308}));
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Data(scan::TrackUdf).Head(), flags), Topics{});
    // What the disc needs every time is offered every time.
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Blank().Blank().Head(), flags), Topics{1303});
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Blank().Head(), flags), Topics{1303});
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Data(0).Head(), flags), Topics{1302});
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Data(0).Head(), flags), Topics{1302});
}

TEST(ResultsAdviceTest, BlankAreasAndATrackWithFilesThatLooksBlank) {
    AdviceOnceFlags flags;
    // No tracks at all, or only the lead-out: nothing recorded, blank.
    EXPECT_EQ(ChooseAdviceTopics(nullptr, flags), Topics{1303});
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Head(), flags), Topics{1303});
    // A blank area beside an audio track: the audio advice.
    EXPECT_EQ(ChooseAdviceTopics(TrackListBuilder().Audio().Blank().Head(), flags), Topics{1301});
    // Blank by its flag but with a tree: the disc is not blank, its track
    // was simply not understood.
    TrackListBuilder list;
    list.Data(scan::TrackBlank);
    const scan::TrackNode* head = list.Head();
    const_cast<scan::TrackNode*>(head)->rootItem = reinterpret_cast<scan::FoundItem*>(0x1000);
    EXPECT_EQ(ChooseAdviceTopics(head, flags), Topics{1302});
}

TEST(ResultsAdviceTest, PagesMoveBetweenTheirEnds) {
    app::AdvicePages one({1303});
    EXPECT_TRUE(one.IsFirst());
    EXPECT_TRUE(one.IsLast());
    EXPECT_FALSE(one.Next());
    EXPECT_FALSE(one.Previous());
    EXPECT_EQ(one.Current(), 1303u);

    app::AdvicePages three({1307, 1308, 1306});
    EXPECT_FALSE(three.Previous());
    EXPECT_TRUE(three.Next());
    EXPECT_FALSE(three.IsFirst());
    EXPECT_FALSE(three.IsLast());
    EXPECT_TRUE(three.Next());
    EXPECT_TRUE(three.IsLast());
    EXPECT_EQ(three.Current(), 1306u);
    EXPECT_FALSE(three.Next());
    EXPECT_TRUE(three.Previous());
    EXPECT_EQ(three.Current(), 1308u);

    app::AdvicePages none({});
    EXPECT_TRUE(none.Empty());
    EXPECT_EQ(none.Current(), 0u);
    EXPECT_FALSE(none.Next());
}

TEST(ResultsAdviceTest, PlaceholdersAreFilledAndOtherPercentsKept) {
    const app::AdviceContacts contacts{"+44 1632 960000", "help@example.org", "sales@example.org"};
    const struct {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"%n by %c", "Pellor Dravik by Quenby"},
        {"mail %e, call %p, buy at %s", "mail help@example.org, call +44 1632 960000, buy at sales@example.org"},
        {"50%x done", "50%x done"},
        {"100%% sure", "100%% sure"},
        {"ends with %", "ends with %"},
        {"%", "%"},
        {"%C is not %c", "%C is not Quenby"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(app::ExpandAdviceText(c.text, contacts), c.expanded) << c.text;
    // Missing values expand to nothing.
    EXPECT_EQ(app::ExpandAdviceText("[%e][%p][%s]", {}), "[][][]");
}

TEST(ResultsAdviceTest, ContactsComeFromTheSettingsOrAreTheMakers) {
    TempDir home;
    const char* before = getenv("DRAVIK_CONFIG_DIR");
    const std::string saved = before ? before : "";
    setenv("DRAVIK_CONFIG_DIR", home.path().c_str(), 1);
    app::AdviceContacts contacts = app::ReadAdviceContacts();
    EXPECT_EQ(contacts.supportEmail, app::kDefaultSupportEmail);
    EXPECT_EQ(contacts.salesEmail, app::kDefaultSalesEmail);
    EXPECT_EQ(contacts.salesPhone, "");
    {
        ::RegistryStore store;
        ASSERT_TRUE(store.Open(app::kContactsKeyName));
        store.WriteString("SupportEmail", "help@example.org");
        store.WriteString("SalesPhone", "+44 1632 960000");
    }
    contacts = app::ReadAdviceContacts();
    EXPECT_EQ(contacts.supportEmail, "help@example.org");
    EXPECT_EQ(contacts.salesEmail, app::kDefaultSalesEmail);
    EXPECT_EQ(contacts.salesPhone, "+44 1632 960000");
    // The settings' own key is still the one opened without a name.
    ::RegistryStore unnamed;
    ASSERT_TRUE(unnamed.Open(""));
    EXPECT_EQ(unnamed.ReadString("SupportEmail", "none"), "none");
    if (before)
        setenv("DRAVIK_CONFIG_DIR", saved.c_str(), 1);
    else
        unsetenv("DRAVIK_CONFIG_DIR");
}

TEST(ResultsAdviceTest, ALongValueIsExpandedWhole) {
    app::AdviceContacts contacts;
    contacts.supportEmail = std::string(10000, 'e');
    const std::string text = std::string(300, 't') + "%e%e" + "end";
    const std::string expanded = app::ExpandAdviceText(text, contacts);
    ASSERT_EQ(expanded.size(), 300u + 20000u + 3u);
    EXPECT_EQ(expanded.substr(expanded.size() - 4), "eend");
}

}  // namespace
}  // namespace dravik::test
