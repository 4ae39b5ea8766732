// READ DISC INFORMATION, READ TRACK INFORMATION, and the track information
// command of older drives (0xE5) with its older reply.
#include <optional>

#include "platform/byte_order.h"
#include "vdrive/command.h"
#include "vdrive/msf.h"

namespace dravik::vdrive {

namespace {

// What both track information replies say about one track.
struct TrackFacts {
    int number = 0, session = 0;
    uint8_t trackMode = 0;  // the TOC control nibble
    bool blank = false, packet = false, fixedPacket = false;
    uint8_t dataMode = 0x0F;
    bool nextWritableValid = false, lastRecordedValid = false;
    int32_t start = 0, nextWritable = 0, freeBlocks = 0, packetSize = 0, size = 0, lastRecorded = 0;
};

uint8_t DataModeOf(const Track& t) {
    switch (t.mode) {
    case TrackMode::kMode1: return 1;
    case TrackMode::kMode2: return 2;
    default: return 0x0F;
    }
}

uint8_t InvisibleTrackMode(const Command& c) {
    // An empty track takes the track mode the write parameters page sets up.
    std::vector<uint8_t> page = c.state.pages.Get(0x05, 0);
    return page.size() > 3 ? (page[3] & 0x0F) : 0x04;
}

TrackFacts FactsOf(const Command& c, const Track& t) {
    TrackFacts f;
    f.number = t.number;
    f.session = t.session;
    f.trackMode = t.control & 0x0F;
    f.packet = t.packet;
    f.fixedPacket = t.packet && t.fixedPacketSize > 0;
    f.packetSize = int32_t(t.fixedPacketSize);
    f.dataMode = DataModeOf(t);
    f.start = t.start;
    f.size = t.end - t.start;
    if (c.disc().Recordable()) {
        f.lastRecordedValid = true;
        f.lastRecorded = t.end - 1;
    }
    if (t.incomplete) {
        auto w = DiscView(c.disc()).Writable();
        f.nextWritableValid = true;
        f.nextWritable = w->nextWritable;
        f.freeBlocks = w->freeBlocks;
        f.size = (w->nextWritable - t.start) + w->freeBlocks;
        f.lastRecorded = w->nextWritable - 1;
    }
    return f;
}

TrackFacts InvisibleFacts(const Command& c, const WritableTrack& w) {
    TrackFacts f;
    f.number = w.number;
    f.session = w.session;
    f.trackMode = InvisibleTrackMode(c);
    f.blank = true;
    f.dataMode = 0x0F;
    f.nextWritableValid = true;
    f.start = w.start;
    f.nextWritable = w.nextWritable;
    f.freeBlocks = w.freeBlocks;
    f.size = w.freeBlocks;
    return f;
}

// Finds the track a track-information request names. `kind` 0: a block
// address, 1: a track number (255: the incomplete or invisible track),
// 2: a session number.
std::optional<TrackFacts> FindTrack(const Command& c, int kind, uint32_t value, Sense& failure) {
    DiscView view(c.disc());
    auto writable = view.Writable();
    auto writableFacts = [&]() -> std::optional<TrackFacts> {
        if (writable->incomplete) return FactsOf(c, *writable->incomplete);
        return InvisibleFacts(c, *writable);
    };
    failure = sense::kInvalidFieldInCdb;
    if (kind == 0) {
        const int32_t lba = int32_t(value);
        if (const Track* t = view.TrackAt(lba)) return FactsOf(c, *t);
        if (writable && lba >= writable->start && lba <= c.disc().capacity) return writableFacts();
        failure = sense::kLbaOutOfRange;
        return std::nullopt;
    }
    if (kind == 1) {
        if (value == 255 || (writable && value == uint32_t(writable->number))) {
            if (writable) return writableFacts();
            return std::nullopt;
        }
        if (const Track* t = value > 0 && value < 100 ? view.TrackByNumber(int(value)) : nullptr) return FactsOf(c, *t);
        return std::nullopt;
    }
    if (kind == 2) {
        for (const Session& s : c.disc().sessions)
            if (uint32_t(s.number) == value) return FactsOf(c, c.disc().tracks[s.firstTrack]);
        if (writable && uint32_t(writable->session) == value) return writableFacts();
    }
    return std::nullopt;
}

// A DVD+RW reads as one complete, erasable session; byte 7 tells where
// its background format stands.
Sense DvdPlusRwDiscInformation(Command& c) {
    std::vector<uint8_t> reply(34, 0);
    bytes::PutBe16(&reply[0], 0x20);
    const bool formatted = c.disc().format != BackgroundFormat::kNone;
    reply[2] = uint8_t(0x10 | (formatted ? 0x0E : 0x00) | (formatted ? 2 : 0));
    reply[3] = reply[4] = reply[5] = reply[6] = 1;
    reply[7] = uint8_t(0x20 | uint8_t(c.disc().format));
    for (int i = 16; i < 24; ++i) reply[i] = 0xFF;
    return c.Reply(reply);
}

}  // namespace

Sense HandleReadDiscInformation(Command& c) {
    if ((c.cdb[1] & 0x07) != 0) return sense::kInvalidFieldInCdb;  // only standard disc information
    const Disc& d = c.disc();
    if (d.medium == Medium::kDvdPlusRw) return DvdPlusRwDiscInformation(c);
    DiscView view(d);
    auto writable = view.Writable();
    std::vector<uint8_t> reply(34, 0);
    bytes::PutBe16(&reply[0], 0x20);
    reply[2] = uint8_t((d.medium == Medium::kCdRw ? 0x10 : 0) | view.LastSessionState() << 2 | view.DiscStatus());
    reply[3] = uint8_t(d.tracks.empty() ? 1 : d.tracks.front().number);
    const bool emptySessionFollows = writable && !writable->incomplete && writable->session > int(d.sessions.size());
    reply[4] = uint8_t(d.sessions.size() + (emptySessionFollows ? 1 : 0));
    if (writable && (emptySessionFollows || d.tracks.empty())) {
        reply[5] = reply[6] = uint8_t(writable->number);
    } else {
        const Session& last = d.sessions.back();
        reply[5] = uint8_t(d.tracks[last.firstTrack].number);
        reply[6] = uint8_t(writable ? writable->number : d.tracks[last.lastTrack].number);
    }
    reply[7] = d.Recordable() ? 0x20 : 0x00;  // unrestricted use
    reply[8] = view.DiscType();
    if (writable) {
        Msf leadIn{97, 27, 0};  // the first lead-in, from the ATIP
        if (emptySessionFollows && !d.sessions.empty()) {
            const Session& last = d.sessions.back();
            leadIn = LbaToMsf(last.leadOut + (last.number == 1 ? kFirstLeadOutBlocks : kLaterLeadOutBlocks));
        } else if (!d.tracks.empty() && d.sessions.back().number > 1) {
            leadIn = LbaToMsf(d.tracks[d.sessions.back().firstTrack].First() - kLeadInBlocks);
        }
        reply[17] = leadIn.minute;
        reply[18] = leadIn.second;
        reply[19] = leadIn.frame;
        Msf leadOut = LbaToMsf(d.capacity);
        reply[21] = leadOut.minute;
        reply[22] = leadOut.second;
        reply[23] = leadOut.frame;
    } else {
        for (int i = 16; i < 24; ++i) reply[i] = 0xFF;
    }
    return c.Reply(reply);
}

Sense HandleReadTrackInformation(Command& c) {
    const int kind = c.cdb[1] & 0x03;
    if (kind == 3) return sense::kInvalidFieldInCdb;
    Sense failure;
    std::optional<TrackFacts> f = FindTrack(c, kind, bytes::GetBe32(c.cdb + 2), failure);
    if (!f) return failure;
    std::vector<uint8_t> reply(36, 0);
    bytes::PutBe16(&reply[0], 0x22);
    reply[2] = uint8_t(f->number);
    reply[3] = uint8_t(f->session);
    reply[5] = f->trackMode;
    reply[6] = uint8_t((f->blank ? 0x40 : 0) | (f->packet ? 0x20 : 0) | (f->fixedPacket ? 0x10 : 0) | f->dataMode);
    reply[7] = uint8_t((f->lastRecordedValid ? 0x02 : 0) | (f->nextWritableValid ? 0x01 : 0));
    bytes::PutBe32(&reply[8], uint32_t(f->start));
    bytes::PutBe32(&reply[12], uint32_t(f->nextWritableValid ? f->nextWritable : 0));
    bytes::PutBe32(&reply[16], uint32_t(f->freeBlocks));
    bytes::PutBe32(&reply[20], uint32_t(f->packetSize));
    bytes::PutBe32(&reply[24], uint32_t(f->size));
    bytes::PutBe32(&reply[28], uint32_t(f->lastRecordedValid ? f->lastRecorded : 0));
    return c.Reply(reply);
}

// The older reply: byte 0 the length of what follows, byte 1 the track,
// 2-5 start, 6-9 size, 10 track mode, 11 blank/packet/fixed bits and data
// mode, 12-15 free blocks, 16-19 packet size, 20-23 next writable address,
// 24 session, 25 bit 0 next writable address valid.
Sense HandleVendorTrackInformation(Command& c) {
    const uint32_t number = bytes::GetBe32(c.cdb + 2);
    if (number == 0 || number > 255) return sense::kInvalidFieldInCdb;
    Sense failure;
    std::optional<TrackFacts> f = FindTrack(c, 1, number, failure);
    if (!f) return failure;
    std::vector<uint8_t> reply(28, 0);
    reply[0] = uint8_t(reply.size() - 1);
    reply[1] = uint8_t(f->number);
    bytes::PutBe32(&reply[2], uint32_t(f->start));
    bytes::PutBe32(&reply[6], uint32_t(f->size));
    reply[10] = f->trackMode;
    reply[11] = uint8_t((f->blank ? 0x40 : 0) | (f->packet ? 0x20 : 0) | (f->fixedPacket ? 0x10 : 0) | f->dataMode);
    bytes::PutBe32(&reply[12], uint32_t(f->freeBlocks));
    bytes::PutBe32(&reply[16], uint32_t(f->packetSize));
    bytes::PutBe32(&reply[20], uint32_t(f->nextWritableValid ? f->nextWritable : 0));
    reply[24] = uint8_t(f->session);
    reply[25] = f->nextWritableValid ? 1 : 0;
    return c.Reply(reply);
}

}  // namespace dravik::vdrive
