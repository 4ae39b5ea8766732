// CD-TEXT: the album title becomes the volume name and the track titles
// name the tracks' root items. Only single-byte title packs are used.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/driver/disc_layout.h"
#include "program/scan/driver/reply_fields.h"
#include "program/scan/scan_device.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_labels.h"
#include "program/scan/track_list.h"

namespace dravik::scan {

namespace {

constexpr std::size_t kCdTextBufferBytes = 16 * 1024;
constexpr int kCdTextReplyBytes = 2048;
constexpr int kCdTextTries = 3;
constexpr int kPackBytes = 18;
constexpr int kPackTextBytes = 12;
constexpr std::uint8_t kTitlePack = 0x80;
constexpr std::uint8_t kDoubleByteBit = 0x80;
constexpr std::uint8_t kTab = 0x09;

bool ReadCdTextReply(device::CDDevice* device, std::uint8_t* buffer) {
    device->SetErrorMode(true);
    bool taken = false;
    for (int attempt = 0; attempt < kCdTextTries && !device->IsAbortSet(); ++attempt) {
        const bool read = device->ReadCDToc(0x500, buffer, kCdTextReplyBytes);
        // A drive without CD-TEXT may answer with the header alone.
        if (read && !(buffer[0] == 0 && buffer[1] == 2)) {
            taken = true;
            break;
        }
        if (!read && device->GetSenseCode() == 2) break;
    }
    device->SetErrorMode(false);
    return taken;
}

// The text bytes of the title packs in order; false when any title pack
// holds double-byte characters.
bool CollectTitleText(const std::uint8_t* buffer, int length, std::string& text) {
    const int end = length + 4 < kCdTextReplyBytes ? length + 4 : kCdTextReplyBytes;
    bool doubleByte = false;
    for (int at = 4; at + kPackBytes <= end; at += kPackBytes) {
        const std::uint8_t* pack = buffer + at;
        if (pack[0] != kTitlePack) continue;
        text.append(reinterpret_cast<const char*>(pack + 4), kPackTextBytes);
        if (pack[3] & kDoubleByteBit) doubleByte = true;
    }
    return !doubleByte;
}

std::vector<std::string> SplitAtZeros(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t zero = text.find('\0', from);
        if (zero == std::string::npos) break;
        parts.push_back(text.substr(from, zero - from));
        from = zero + 1;
    }
    return parts;
}

void NameTrack(TrackNode* node, const std::string& title) {
    const std::int32_t length = BlocksToNextTrack(node);
    char name[kMaxItemNameBytes + 32];
    std::snprintf(name, sizeof name, "%s (%d.%02d)", title.c_str(), length / kBlocksPerMinute,
                  (length % kBlocksPerMinute) / kBlocksPerSecond);
    FoundItem* item = NewFoundItem(name);
    if (!item) return;
    // Like a labelled audio track; the audio label keeps the title and drops the mark.
    item->flags = ItemUnnamed;
    AttachRootItem(node, item);
    ShowItemInTree(item);
}

}  // namespace

int ReadCdText() {
    device::CDDevice* device = SelectedDevice();
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kCdTextBufferBytes]);
    if (!buffer) return 0;
    std::memset(buffer.get(), 0, kCdTextBufferBytes);
    if (!ReadCdTextReply(device, buffer.get())) return 0;

    const int length = bytes::GetBe16(buffer.get());
    if (length <= 2 || buffer[2] != 0 || buffer[3] != 0) return 0;
    if (diag::DebugMode) diag::DebugDump(buffer.get(), DumpLength(static_cast<std::size_t>(length), kCdTextReplyBytes), "CD-TEXT data");
    std::string text;
    if (!CollectTitleText(buffer.get(), length, text)) {
        if (diag::DebugMode) diag::DebugPrint("CD-TEXT titles use double-byte characters; not used");
        return 0;
    }
    text.append(2, '\0');
    const std::vector<std::string> titles = SplitAtZeros(text);
    if (titles.empty()) return 0;
    SetVolumeName(titles[0]);

    TrackNode* node = TrackListHead;
    std::string previous = titles[0];
    for (std::size_t i = 1; i < titles.size() && node; ++i, node = node->next) {
        if (titles[i].empty()) break;
        const std::string& title = static_cast<std::uint8_t>(titles[i][0]) == kTab ? previous : titles[i];
        NameTrack(node, title);
        previous = title;
    }
    return 1;
}

}  // namespace dravik::scan
