// READ TOC/PMA/ATIP: formats 0 (tracks), 1 (sessions), 2 (full TOC),
// 4 (ATIP) and 5 (CD-TEXT).
#include "platform/byte_order.h"
#include "vdrive/cd_text.h"
#include "vdrive/command.h"
#include "vdrive/msf.h"

namespace dravik::vdrive {

namespace {

// Where the lead-in of a blank recordable disc begins, as its ATIP says.
constexpr Msf kAtipLeadInStart{97, 27, 0};

uint8_t AdrControl(uint8_t adr, uint8_t control) { return uint8_t(adr << 4 | (control & 0x0F)); }

void PutAddress(uint8_t* out, int32_t lba, bool msf) {
    if (!msf) {
        bytes::PutBe32(out, uint32_t(lba));
        return;
    }
    Msf m = LbaToMsf(lba);
    out[0] = 0;
    out[1] = m.minute;
    out[2] = m.second;
    out[3] = m.frame;
}

void PutMsf(uint8_t* out, const Msf& m) {
    out[0] = m.minute;
    out[1] = m.second;
    out[2] = m.frame;
}

std::vector<const Session*> ClosedSessions(const Disc& d) {
    std::vector<const Session*> closed;
    for (const Session& s : d.sessions)
        if (s.closed) closed.push_back(&s);
    return closed;
}

void FinishLength(std::vector<uint8_t>& reply) { bytes::PutBe16(&reply[0], uint32_t(reply.size() - 2)); }

Sense TracksFormat(Command& c, bool msf) {
    const Disc& d = c.disc();
    auto closed = ClosedSessions(d);
    if (closed.empty()) return sense::kInvalidFieldInCdb;  // no TOC has been written yet
    const Track& first = d.tracks[closed.front()->firstTrack];
    const Track& last = d.tracks[closed.back()->lastTrack];
    const int from = c.cdb[6] == 0 ? 1 : c.cdb[6];
    if (from != 0xAA && from > last.number) return sense::kInvalidFieldInCdb;

    std::vector<uint8_t> reply{0, 0, uint8_t(first.number), uint8_t(last.number)};
    auto add = [&](uint8_t control, uint8_t number, int32_t lba) {
        uint8_t entry[8] = {0, AdrControl(1, control), number, 0};
        PutAddress(entry + 4, lba, msf);
        reply.insert(reply.end(), entry, entry + 8);
    };
    if (from != 0xAA)
        for (const Session* s : closed)
            for (size_t i = s->firstTrack; i <= s->lastTrack; ++i)
                if (d.tracks[i].number >= from) add(d.tracks[i].control, uint8_t(d.tracks[i].number), d.tracks[i].start);
    add(last.control, 0xAA, closed.back()->leadOut);
    FinishLength(reply);
    return c.Reply(reply);
}

Sense SessionsFormat(Command& c, bool msf) {
    const Disc& d = c.disc();
    auto closed = ClosedSessions(d);
    if (closed.empty()) return sense::kInvalidFieldInCdb;
    const Track& firstOfLast = d.tracks[closed.back()->firstTrack];
    std::vector<uint8_t> reply{0, 0, 1, uint8_t(closed.back()->number), 0, AdrControl(1, firstOfLast.control),
                               uint8_t(firstOfLast.number), 0, 0, 0, 0, 0};
    PutAddress(&reply[8], firstOfLast.start, msf);
    FinishLength(reply);
    return c.Reply(reply);
}

Sense FullTocFormat(Command& c) {
    const Disc& d = c.disc();
    DiscView view(d);
    auto closed = ClosedSessions(d);
    if (closed.empty()) return sense::kInvalidFieldInCdb;
    const int from = c.cdb[6] == 0 ? 1 : c.cdb[6];
    if (from > closed.back()->number) return sense::kInvalidFieldInCdb;

    std::vector<uint8_t> reply{0, 0, 1, uint8_t(closed.back()->number)};
    auto add = [&](uint8_t session, uint8_t adrControl, uint8_t point, Msf time, uint8_t zero, Msf ptime) {
        uint8_t e[11] = {session, adrControl, 0, point, time.minute, time.second, time.frame,
                         zero, ptime.minute, ptime.second, ptime.frame};
        reply.insert(reply.end(), e, e + 11);
    };
    const bool withC0 = d.Recordable() && d.hasAtip;
    for (const Session* s : closed) {
        if (s->number < from) continue;
        const uint8_t n = uint8_t(s->number);
        const Track& first = d.tracks[s->firstTrack];
        const Track& last = d.tracks[s->lastTrack];
        add(n, AdrControl(1, first.control), 0xA0, {}, 0, Msf{uint8_t(first.number), view.DiscType(), 0});
        add(n, AdrControl(1, last.control), 0xA1, {}, 0, Msf{uint8_t(last.number), 0, 0});
        add(n, AdrControl(1, last.control), 0xA2, {}, 0, LbaToMsf(s->leadOut));
        for (size_t i = s->firstTrack; i <= s->lastTrack; ++i)
            add(n, AdrControl(1, d.tracks[i].control), uint8_t(d.tracks[i].number), {}, 0, LbaToMsf(d.tracks[i].start));
        // A session followed by another, or the last one of a disc that can
        // still take one, names where the next would begin (B0); the first
        // session of a recordable disc also carries C0 from the ATIP.
        const bool another = s != &d.sessions.back() || (d.Recordable() && !d.finalized);
        if (another)
            add(n, AdrControl(5, last.control), 0xB0, LbaToMsf(view.NextProgramArea(*s)), uint8_t(withC0 ? 2 : 1),
                LbaToMsf(d.capacity));
        if (withC0 && s->number == 1) add(n, AdrControl(5, first.control), 0xC0, Msf{0xD1, 0, 0}, 0, kAtipLeadInStart);
    }
    FinishLength(reply);
    return c.Reply(reply);
}

Sense AtipFormat(Command& c) {
    const Disc& d = c.disc();
    if (!d.hasAtip) return c.Reply({0x00, 0x02, 0x00, 0x00});
    std::vector<uint8_t> reply(28, 0);
    reply[4] = 0xD1;  // writing power, reference speed
    reply[6] = uint8_t(0x80 | (d.medium == Medium::kCdRw ? 0x40 : 0x00));
    PutMsf(&reply[8], kAtipLeadInStart);
    PutMsf(&reply[12], LbaToMsf(d.capacity));
    FinishLength(reply);
    return c.Reply(reply);
}

Sense CdTextFormat(Command& c) {
    const Disc& d = c.disc();
    const int first = d.tracks.empty() ? 0 : d.tracks.front().number;
    const int last = d.tracks.empty() ? 0 : d.tracks.back().number;
    std::vector<uint8_t> reply{0, 0, 0, 0};
    std::vector<uint8_t> packs = BuildTitlePacks(d.titles, first, last);
    reply.insert(reply.end(), packs.begin(), packs.end());
    FinishLength(reply);
    return c.Reply(reply);
}

}  // namespace

Sense HandleReadToc(Command& c) {
    const bool msf = c.cdb[1] & 0x02;
    int format = c.cdb[2] & 0x0F;
    // The older place of the format, where the drive looks there.
    switch (c.config.tocFormatField) {
    case DriveConfig::TocFormatField::kEither:
        if (format == 0) format = c.cdb[9] >> 6;
        break;
    case DriveConfig::TocFormatField::kByte9:
        format = c.cdb[9] >> 6;
        break;
    case DriveConfig::TocFormatField::kByte2:
        break;
    }
    if (!c.config.mmc && format > 1) return sense::kInvalidFieldInCdb;
    switch (format) {
    case 0: return TracksFormat(c, msf);
    case 1: return SessionsFormat(c, msf);
    case 2: return FullTocFormat(c);
    case 4: return AtipFormat(c);
    case 5: return CdTextFormat(c);
    default: return sense::kInvalidFieldInCdb;
    }
}

}  // namespace dravik::vdrive
