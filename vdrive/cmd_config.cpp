// GET CONFIGURATION: the current profile and the feature descriptors.
#include <algorithm>

#include "platform/byte_order.h"
#include "vdrive/command.h"

namespace dravik::vdrive {

namespace {

struct Feature {
    uint16_t code;
    uint8_t version;
    bool persistent;
    bool current;
    std::vector<uint8_t> data;
};

std::vector<Feature> FeaturesOf(const Command& c) {
    const bool disc = c.state.disc != nullptr;
    const bool writable = disc && DiscView(c.disc()).Writable().has_value();
    const uint16_t profile = CurrentProfile(c.config, c.state);

    std::vector<uint16_t> profiles{0x000A, 0x0009, 0x0008};
    if (profile && std::find(profiles.begin(), profiles.end(), profile) == profiles.end()) profiles.insert(profiles.begin(), profile);
    std::vector<uint8_t> profileList;
    for (uint16_t p : profiles) {
        uint8_t d[4] = {0, 0, uint8_t(p == profile ? 1 : 0), 0};
        bytes::PutBe16(d, p);
        profileList.insert(profileList.end(), d, d + 4);
    }
    std::vector<uint8_t> serial(c.config.serial.begin(), c.config.serial.end());
    serial.resize((serial.size() + 3) / 4 * 4, ' ');
    const uint8_t mechanism = uint8_t((c.config.canLoadTray ? 1 : 2) << 5 | 0x08 | 0x01);
    const bool hasText = disc && !c.disc().titles.empty();

    return {
        {0x0000, 0, true, true, profileList},
        {0x0001, 1, true, true, {0, 0, 0, 2, 0x01, 0, 0, 0}},  // ATAPI
        {0x0002, 1, true, true, {0, 0, 0, 0}},
        {0x0003, 0, true, true, {mechanism, 0, 0, 0}},
        {0x0010, 0, false, disc, {0, 0, 0x08, 0, 0, 1, 0, 0}},  // 2048-byte blocks, blocking 1
        {0x001D, 0, false, disc, {}},
        {0x001E, 2, false, disc, {uint8_t(hasText ? 0x01 : 0x00), 0, 0, 0}},
        {0x0021, 1, false, writable, {0x00, 0x01, 0, 1, 7, 0, 0, 0}},  // link size 7
        {0x0028, 1, false, disc && c.config.mrw, {0x01, 0, 0, 0}},  // Mount Rainier, writes
        {0x002D, 2, false, writable, {0x00, 0, 0, 0}},
        {0x0100, 0, true, true, {}},
        {0x0107, 3, false, disc, {0, 0, 0, 0}},
        {0x0108, 0, true, true, serial},
    };
}

}  // namespace

Sense HandleGetConfiguration(Command& c) {
    const int requestType = c.cdb[1] & 0x03;
    if (requestType == 3) return sense::kInvalidFieldInCdb;
    const uint16_t startingFeature = uint16_t(bytes::GetBe16(c.cdb + 2));
    std::vector<uint8_t> reply(8, 0);
    bytes::PutBe16(&reply[6], CurrentProfile(c.config, c.state));
    for (const Feature& f : FeaturesOf(c)) {
        if (requestType == 2 ? f.code != startingFeature : f.code < startingFeature) continue;
        if (requestType == 1 && !f.current) continue;
        uint8_t head[4] = {0, 0, uint8_t(f.version << 2 | (f.persistent ? 2 : 0) | (f.current ? 1 : 0)), uint8_t(f.data.size())};
        bytes::PutBe16(head, f.code);
        reply.insert(reply.end(), head, head + 4);
        reply.insert(reply.end(), f.data.begin(), f.data.end());
    }
    bytes::PutBe32(&reply[0], uint32_t(reply.size() - 4));
    return c.Reply(reply);
}

}  // namespace dravik::vdrive
