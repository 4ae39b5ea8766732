// READ SUB-CHANNEL (current position, media catalogue number, ISRC),
// SEEK(10), PREVENT ALLOW MEDIUM REMOVAL and READ FORMAT CAPACITIES.
#include "platform/byte_order.h"
#include "vdrive/command.h"

namespace dravik::vdrive {

namespace {
constexpr uint8_t kNoAudioStatus = 0x15;
}  // namespace

Sense HandleReadSubChannel(Command& c) {
    const bool msf = c.cdb[1] & 0x02;
    const bool subQ = c.cdb[2] & 0x40;
    const uint8_t format = c.cdb[3];
    if (format < 1 || format > 3 || msf) return sense::kInvalidFieldInCdb;
    std::vector<uint8_t> reply{0, kNoAudioStatus, 0, 0};
    if (subQ) {
        DiscView view(c.disc());
        if (format == 1) {
            const int32_t at = c.state.headPosition;
            const Track* track = view.TrackAt(at);
            std::vector<uint8_t> data(12, 0);
            data[0] = 1;
            data[1] = uint8_t(0x10 | (track ? (track->control & 0x0F) : 0));
            data[2] = uint8_t(track ? track->number : 0);
            data[3] = uint8_t(track && at >= track->start ? 1 : 0);
            bytes::PutBe32(&data[4], uint32_t(at));
            bytes::PutBe32(&data[8], uint32_t(track ? at - track->start : 0));
            reply.insert(reply.end(), data.begin(), data.end());
        } else {
            // No catalogue number or ISRC is recorded: the valid bits stay clear.
            if (format == 3 && !view.TrackByNumber(c.cdb[6])) return sense::kInvalidFieldInCdb;
            std::vector<uint8_t> data(20, 0);
            data[0] = format;
            if (format == 3) {
                const Track* track = view.TrackByNumber(c.cdb[6]);
                data[1] = uint8_t(0x30 | (track->control & 0x0F));
                data[2] = uint8_t(track->number);
            }
            reply.insert(reply.end(), data.begin(), data.end());
        }
    }
    bytes::PutBe16(&reply[2], uint32_t(reply.size() - 4));
    return c.Reply(reply);
}

Sense HandleSeek10(Command& c) {
    const int32_t lba = int32_t(bytes::GetBe32(c.cdb + 2));
    DiscView view(c.disc());
    if (!view.TrackAt(lba)) return sense::kLbaOutOfRange;
    c.state.headPosition = lba;
    return sense::kNone;
}

Sense HandlePreventAllowRemoval(Command& c) {
    const uint8_t prevent = c.cdb[4] & 0x03;
    if (prevent > 1) return sense::kInvalidFieldInCdb;  // persistent prevention is not offered
    c.state.removalPrevented = prevent == 1;
    return sense::kNone;
}

Sense HandleReadFormatCapacities(Command& c) {
    const Disc& d = c.disc();
    DiscView view(d);
    if (d.medium == Medium::kDvdPlusRw) {
        // The current descriptor, then the full format a DVD+RW offers (type 0x26).
        std::vector<uint8_t> reply(20, 0);
        reply[3] = 16;
        bytes::PutBe32(&reply[4], uint32_t(d.capacity));
        reply[8] = d.format == BackgroundFormat::kNone ? 0x01 : 0x02;
        bytes::PutBe24(&reply[9], 2048);
        bytes::PutBe32(&reply[12], uint32_t(d.capacity));
        reply[16] = 0x26 << 2;
        return c.Reply(reply);
    }
    std::vector<uint8_t> reply(12, 0);
    reply[3] = 8;  // one capacity descriptor
    const int32_t blocks = d.Recordable() ? d.capacity : view.RecordedEnd();
    bytes::PutBe32(&reply[4], uint32_t(blocks));
    reply[8] = d.Blank() ? 0x01 : 0x02;  // unformatted or blank / formatted
    bytes::PutBe24(&reply[9], 2048);
    return c.Reply(reply);
}

}  // namespace dravik::vdrive
