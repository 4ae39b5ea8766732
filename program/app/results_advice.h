// The advice shown when a scan has finished without being stopped: which
// topics (language-module texts 1301-1308) fit what the scan found, the
// pages of the advice window with their cursor, and the contact details
// put into a topic's text.
//
// A topic is offered at most once a run where it would only repeat itself
// (no data track, the first ISO track with files missing, the UDF topics,
// the copy advice); those once-flags live as long as the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dravik::scan {
struct TrackNode;
}

namespace dravik::app {

// The topics, as string ids of the language module.
constexpr unsigned kAdviceNoDataTrack = 1301;   // audio only
constexpr unsigned kAdviceNothingRead = 1302;   // a data track no reader understood
constexpr unsigned kAdviceAllBlank = 1303;      // every track blank
constexpr unsigned kAdviceFilesMissing = 1305;  // an ISO track lists files it does not hold
constexpr unsigned kAdviceCopyFiles = 1306;     // how to copy the files out
constexpr unsigned kAdviceUdfRead = 1307;       // a packet-written (UDF) disc was read
constexpr unsigned kAdviceUdfSessions = 1308;   // ... and what its sessions mean

// Topics already offered in this run.
struct AdviceOnceFlags {
    bool shown1301 = false;
    bool shown1305 = false;
    bool shown1306 = false;
    bool shown1307 = false;
};
// The program's flags, for its whole run.
AdviceOnceFlags& ProgramAdviceFlags();

// Walks the track list from `head` (the lead-out node is skipped) and
// returns the topics for it in their order, setting the once-flags of the
// topics it returns. The caller holds the catalogue lock or owns the list.
std::vector<unsigned> ChooseAdviceTopics(const scan::TrackNode* head, AdviceOnceFlags& flags);

// The pages of the advice window: one topic each, a cursor on the one
// shown.
class AdvicePages {
public:
    explicit AdvicePages(std::vector<unsigned> topics) : topics_(std::move(topics)) {}
    bool Empty() const { return topics_.empty(); }
    std::size_t Count() const { return topics_.size(); }
    // The topic under the cursor; 0 when there are none.
    unsigned Current() const { return topics_.empty() ? 0 : topics_[cursor_]; }
    bool IsFirst() const { return cursor_ == 0; }
    bool IsLast() const { return topics_.empty() || cursor_ + 1 == topics_.size(); }
    // Move the cursor by one page; false (and no move) at either end.
    bool Next();
    bool Previous();

private:
    std::vector<unsigned> topics_;
    std::size_t cursor_ = 0;
};

// Contact details from the settings key ".DRAVIK" ("SalesPhone",
// "SupportEmail", "SalesEmail"). An address not set there is the maker's
// own (so that a topic never names an empty address); the phone is empty.
struct AdviceContacts {
    std::string salesPhone;
    std::string supportEmail;
    std::string salesEmail;
};
AdviceContacts ReadAdviceContacts();
// One string value of that key; empty when not set.
std::string ReadContactSetting(const char* name);
// The settings key of the maker's contact details and pages.
constexpr char kContactsKeyName[] = ".DRAVIK";

constexpr char kMakerName[] = "Quenby";
constexpr char kProductName[] = "Pellor Dravik";
// The address the support buttons fall back on when the settings name none.
constexpr char kDefaultSupportEmail[] = "support@quenby.example";
constexpr char kDefaultSalesEmail[] = "sales@quenby.example";

// A topic text with its placeholders filled in: %c the maker, %e the
// support address, %n the product, %p the sales phone, %s the sales
// address. A percent sign before any other character (or at the end) is
// kept as it is, with that character. The result grows with the values:
// nothing is cut.
std::string ExpandAdviceText(std::string_view text, const AdviceContacts& contacts);

}  // namespace dravik::app
