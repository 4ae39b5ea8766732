#include "program/app/results_advice.h"

#include "device/regstore/registry_store.h"
#include "program/app/settings_store.h"
#include "program/scan/track_list.h"

namespace dravik::app {

AdviceOnceFlags& ProgramAdviceFlags() {
    static AdviceOnceFlags flags;
    return flags;
}

namespace {

// What the walk over the track list learnt.
struct DiscFindings {
    bool noDataTrack = true;
    bool allBlank = true;
    bool isoOnly = false;
    bool udfRead = false;
    bool nothingRead = false;
};

DiscFindings Examine(const scan::TrackNode* head) {
    DiscFindings found;
    for (const scan::TrackNode* node = head; node; node = node->next) {
        if (node->number == scan::kLeadOutNumber) continue;
        const std::uint32_t flags = node->flags;
        if (node->control & scan::kControlData) {
            found.noDataTrack = false;
            if (node->rootItem || !(flags & scan::TrackBlank)) found.allBlank = false;
            if ((flags & scan::TrackIso) && !(flags & scan::TrackUdf))
                found.isoOnly = true;
            else if (flags & scan::TrackUdf)
                found.udfRead = true;
            else if (!(flags & (scan::TrackContinued | scan::TrackHfs | scan::TrackHighSierra)))
                found.nothingRead = true;
        }
        if (!(flags & scan::TrackBlank)) found.allBlank = false;
    }
    // A blank disc's tracks are data tracks in waiting, not audio.
    if (found.allBlank) found.noDataTrack = false;
    return found;
}

const scan::TrackNode* FirstIsoTrackWithFilesMissing(const scan::TrackNode* head) {
    for (const scan::TrackNode* node = head; node; node = node->next) {
        if (node->number == scan::kLeadOutNumber) continue;
        if ((node->flags & scan::TrackIso) && (node->flags & scan::TrackFilesMissing)) return node;
    }
    return nullptr;
}

// The copy advice follows the first topic that found files, once a run.
void AddCopyAdvice(std::vector<unsigned>& topics, AdviceOnceFlags& flags) {
    if (flags.shown1306) return;
    flags.shown1306 = true;
    topics.push_back(kAdviceCopyFiles);
}

}  // namespace

std::vector<unsigned> ChooseAdviceTopics(const scan::TrackNode* head, AdviceOnceFlags& flags) {
    std::vector<unsigned> topics;
    const DiscFindings found = Examine(head);
    if (found.noDataTrack) {
        if (!flags.shown1301) {
            flags.shown1301 = true;
            topics.push_back(kAdviceNoDataTrack);
        }
    } else if (found.nothingRead) {
        topics.push_back(kAdviceNothingRead);
    } else if (found.allBlank) {
        topics.push_back(kAdviceAllBlank);
    } else if (found.isoOnly) {
        if (FirstIsoTrackWithFilesMissing(head) && !flags.shown1305) {
            flags.shown1305 = true;
            topics.push_back(kAdviceFilesMissing);
            AddCopyAdvice(topics, flags);
        }
    } else if (found.udfRead && !flags.shown1307) {
        flags.shown1307 = true;
        topics.push_back(kAdviceUdfRead);
        topics.push_back(kAdviceUdfSessions);
        AddCopyAdvice(topics, flags);
    }
    return topics;
}

bool AdvicePages::Next() {
    if (IsLast()) return false;
    ++cursor_;
    return true;
}

bool AdvicePages::Previous() {
    if (IsFirst()) return false;
    --cursor_;
    return true;
}

std::string ReadContactSetting(const char* name) {
    // The first key the store opens by name becomes the one it opens when
    // asked for no name; that must stay the program's own key, not this.
    ::RegistryStore own;
    own.Open(kProgramKeyName);
    ::RegistryStore store;
    return store.Open(kContactsKeyName) ? store.ReadString(name, "") : std::string();
}

AdviceContacts ReadAdviceContacts() {
    AdviceContacts contacts;
    contacts.salesPhone = ReadContactSetting("SalesPhone");
    contacts.supportEmail = ReadContactSetting("SupportEmail");
    contacts.salesEmail = ReadContactSetting("SalesEmail");
    if (contacts.supportEmail.empty()) contacts.supportEmail = kDefaultSupportEmail;
    if (contacts.salesEmail.empty()) contacts.salesEmail = kDefaultSalesEmail;
    return contacts;
}

std::string ExpandAdviceText(std::string_view text, const AdviceContacts& contacts) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char letter = text[++i];
        switch (letter) {
            case 'c': out += kMakerName; break;
            case 'e': out += contacts.supportEmail; break;
            case 'n': out += kProductName; break;
            case 'p': out += contacts.salesPhone; break;
            case 's': out += contacts.salesEmail; break;
            default:
                out += '%';
                out += letter;
                break;
        }
    }
    return out;
}

}  // namespace dravik::app
