#include "vdrive/cd_text.h"

#include <algorithm>

#include "platform/byte_order.h"
#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

namespace {
constexpr size_t kPayload = 12;
constexpr size_t kMaxPacks = 256;  // one block of CD-TEXT holds at most 256 packs
}  // namespace

std::vector<uint8_t> BuildTitlePacks(const std::map<int, std::string>& titles, int firstTrack, int lastTrack) {
    if (titles.empty()) return {};
    // The text of all titles in a row, each ended by a zero byte, and the
    // track number and start offset of every title.
    std::string text;
    std::vector<std::pair<int, size_t>> starts;
    auto append = [&](int track) {
        starts.emplace_back(track, text.size());
        auto it = titles.find(track);
        if (it != titles.end()) text += it->second.substr(0, it->second.find('\0'));
        text.push_back('\0');
    };
    append(0);
    for (int t = firstTrack; t <= lastTrack && t > 0; ++t) append(t);

    std::vector<uint8_t> packs;
    uint8_t sequence = 0;
    for (size_t at = 0; at < text.size() && packs.size() / kCdTextPackSize < kMaxPacks; at += kPayload) {
        size_t owner = 0;
        while (owner + 1 < starts.size() && starts[owner + 1].second <= at) ++owner;
        uint8_t pack[kCdTextPackSize] = {};
        pack[0] = 0x80;
        pack[1] = uint8_t(starts[owner].first);
        pack[2] = sequence++;
        pack[3] = uint8_t(std::min<size_t>(at - starts[owner].second, 15));
        for (size_t i = 0; i < kPayload && at + i < text.size(); ++i) pack[4 + i] = uint8_t(text[at + i]);
        const uint16_t crc = ComputeCrc16Inverted(pack, 16);
        bytes::PutBe16(pack + 16, crc);
        packs.insert(packs.end(), pack, pack + kCdTextPackSize);
    }
    return packs;
}

}  // namespace dravik::vdrive
