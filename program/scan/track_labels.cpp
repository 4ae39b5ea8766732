#include "program/scan/track_labels.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "program/messages/language_module.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::scan {

namespace {

// Longest label kept, in bytes.
constexpr std::size_t kMaxLabel = 200;

struct LabelSpec {
    unsigned id;
    const char* arguments;  // what the text may consume, as message_catalog.h spells it
    const char* fallback;   // shown when the language module has no usable text
};
constexpr LabelSpec kLabels[] = {
    {kAudioTrackLabel, "dd", "Audio track (%d:%02d)"},
    {kLeadOutLabel, "d", "Lead-out at block %d"},
    {kUnrecognisedTrackLabel, "d", "Unrecognised track (%d blocks)"},
    {kSamplerTrackLabel, "d", "Sampler track (%d blocks)"},
    {kBlankDiscLabel, "d", "Blank disc (%d blocks free)"},
};

std::mutex& SourceLock() {
    static std::mutex lock;
    return lock;
}
LabelTextSource& Source() {
    static LabelTextSource source;
    return source;
}

std::string LabelFormat(unsigned id) {
    LabelTextSource source;
    {
        std::lock_guard<std::mutex> hold(SourceLock());
        source = Source();
    }
    return source ? source(id) : messages::MessageLanguage().Text(id);
}

}  // namespace

void SetLabelTextSource(LabelTextSource source) {
    std::lock_guard<std::mutex> hold(SourceLock());
    Source() = std::move(source);
}

std::string TrackLabel(unsigned id, int first, int second) {
    const LabelSpec* entry = nullptr;
    for (const LabelSpec& candidate : kLabels)
        if (candidate.id == id) entry = &candidate;
    if (!entry) return {};
    // The module is a file a translator replaces: its text is a printf
    // format only when it asks for no more than the numbers we pass.
    std::string format = LabelFormat(id);
    if (format.empty() || !messages::FormatFitsArguments(format, entry->arguments)) format = entry->fallback;
    char text[kMaxLabel + 1];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(text, sizeof text, format.c_str(), first, second);
#pragma GCC diagnostic pop
    return text;
}

FoundItem* AttachTrackLabel(TrackNode* node, const std::string& label, std::uint16_t flags) {
    FoundItem* item = NewFoundItem(label);
    if (!item) return nullptr;
    item->flags = flags;
    AttachRootItem(node, item);
    ShowItemInTree(item);
    return item;
}

std::int32_t BlocksToNextTrack(const TrackNode* node) {
    if (!node->next) return 0;
    const std::int64_t length = static_cast<std::int64_t>(node->next->start) - node->start;
    return length > 0 && length <= INT32_MAX ? static_cast<std::int32_t>(length) : 0;
}

void LabelAudioTrack(TrackNode* node) {
    if (node->rootItem) {
        ClearItemFlags(node->rootItem, ItemUnnamed);
        return;
    }
    const std::int32_t length = BlocksToNextTrack(node);
    AttachTrackLabel(node,
                     TrackLabel(kAudioTrackLabel, length / kBlocksPerMinute,
                                (length % kBlocksPerMinute) / kBlocksPerSecond),
                     ItemUnnamed);
}

void LabelLeadOut(TrackNode* node) { AttachTrackLabel(node, TrackLabel(kLeadOutLabel, node->start), 0); }

void LabelUnrecognisedTrack(TrackNode* node) {
    const std::int64_t length = static_cast<std::int64_t>(node->end) - node->start;
    const int shown = length < INT32_MIN ? INT32_MIN : length > INT32_MAX ? INT32_MAX : static_cast<int>(length);
    AttachTrackLabel(node, TrackLabel(kUnrecognisedTrackLabel, shown), 0);
}

void LabelSamplerTrack(TrackNode* node) {
    AttachTrackLabel(node, TrackLabel(kSamplerTrackLabel, BlocksToNextTrack(node)), 0);
}

bool IsSamplerDiscBlock(const std::uint8_t* block, std::size_t length) {
    static constexpr char kCopyright[] = "Copyright";
    static constexpr char kMaker[] = "Roland";
    std::size_t at = 64;
    auto skipBlanks = [&] {
        while (at < length && block[at] == ' ') ++at;
    };
    auto expect = [&](const char* word) {
        const std::size_t size = std::strlen(word);
        if (at > length || length - at < size || std::memcmp(block + at, word, size) != 0) return false;
        at += size;
        return true;
    };
    if (!block) return false;
    skipBlanks();
    if (!expect(kCopyright)) return false;
    skipBlanks();
    return expect(kMaker);
}

}  // namespace dravik::scan
