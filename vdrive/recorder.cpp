#include "vdrive/recorder.h"

#include <algorithm>

#include "platform/byte_order.h"
#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

namespace {

// Puts the written blocks into the disc's areas: a run that continues the
// last area of the scratch file extends it, others are new areas.
void AddArea(Disc& disc, const std::shared_ptr<ImageFile>& scratch, int32_t lba, int32_t count, uint64_t offset,
             uint32_t sectorSize) {
    for (Area& a : disc.areas) {
        if (a.file == scratch && a.End() == lba && a.sectorSize == sectorSize &&
            a.offset + uint64_t(a.count) * sectorSize == offset) {
            a.count += count;
            return;
        }
    }
    disc.areas.push_back(Area{lba, count, scratch, offset, sectorSize});
    std::sort(disc.areas.begin(), disc.areas.end(), [](const Area& a, const Area& b) { return a.first < b.first; });
}

// A track's blocks that lie in the scratch file already (a rewrite of a
// fixed-packet track on a CD-RW): their offset, or -1.
int64_t ScratchOffsetOf(const Disc& disc, const std::shared_ptr<ImageFile>& scratch, int32_t lba, uint32_t count) {
    for (const Area& a : disc.areas)
        if (a.file == scratch && lba >= a.first && int64_t(lba) + count <= a.End())
            return int64_t(a.offset + uint64_t(lba - a.first) * a.sectorSize);
    return -1;
}

void OpenTrack(Disc& disc, const WritableTrack& w, const WriteSettings& settings, int32_t length) {
    Track t;
    t.number = w.number;
    t.session = w.session;
    t.mode = settings.mode;
    t.start = w.start;
    t.end = w.start + length;
    t.packet = settings.packet;
    t.fixedPacketSize = settings.packet ? settings.fixedPacketSize : 0;
    t.incomplete = true;
    t.nextWritable = w.start;
    t.control = settings.mode == TrackMode::kAudio ? 0x0 : (settings.packet ? 0x5 : 0x4);
    disc.tracks.push_back(t);
    disc.lastSessionOpen = true;
}

}  // namespace

WriteSettings SettingsFromPage(const std::vector<uint8_t>& p) {
    WriteSettings s;
    if (p.size() < 14) return s;
    s.testWrite = p[2] & 0x10;
    s.packet = (p[2] & 0x0F) == 0;
    s.multiSession = (p[3] & 0xC0) == 0xC0;
    if (s.packet && (p[3] & 0x20)) s.fixedPacketSize = bytes::GetBe32(&p[10]);
    switch (p[4] & 0x0F) {
    case 0: s.mode = TrackMode::kAudio; s.blockBytes = kRawSectorSize; break;
    case 8: s.mode = TrackMode::kMode1; break;
    case 10: s.mode = TrackMode::kMode2; break;
    default: s.supported = false; break;
    }
    return s;
}

Sense RecordBlocks(Disc& disc, RecorderState& rec, const WriteSettings& settings, int32_t lba, uint32_t count,
                   const uint8_t* data) {
    if (!settings.supported) return sense::kInvalidFieldInParameterList;
    if (settings.testWrite) return sense::kNone;  // the laser stays cold
    if (count == 0) return sense::kNone;
    auto w = DiscView(disc).Writable();
    if (!w) return sense::kIncompatibleMedium;
    const Track* open = w->incomplete;
    if (open && open->fixedPacketSize && count % open->fixedPacketSize != 0) return sense::kInvalidFieldInCdb;
    if (!open && settings.fixedPacketSize && count % settings.fixedPacketSize != 0) return sense::kInvalidFieldInCdb;
    const uint32_t sectorSize = open ? (open->mode == TrackMode::kAudio ? kRawSectorSize : kUserDataSize) : settings.blockBytes;

    // A fixed-packet track of a CD-RW may be written again where it was written.
    const bool rewrite = open && disc.medium == Medium::kCdRw && open->fixedPacketSize && lba >= open->start &&
                         int64_t(lba) + count <= w->nextWritable;
    if (!rewrite && lba != w->nextWritable) return sense::kInvalidAddressForWrite;
    if (int64_t(lba) + count > disc.capacity) return sense::kInvalidAddressForWrite;
    // A reserved track takes no more than was reserved.
    if (!rewrite && open && open->freeBlocks >= 0 && int64_t(count) > open->freeBlocks) return sense::kInvalidAddressForWrite;

    if (!rec.scratch) {
        std::string why;
        rec.scratch = ImageFile::CreateScratch(why);
        if (!rec.scratch) return Sense{0x04, 0x44, 0x00};  // internal target failure
    }
    const size_t bytes = size_t(count) * sectorSize;
    if (rewrite) {
        const int64_t at = ScratchOffsetOf(disc, rec.scratch, lba, count);
        if (at < 0 || !rec.scratch->WriteAt(uint64_t(at), data, bytes)) return Sense{0x03, 0x0C, 0x00};
        return sense::kNone;
    }
    const uint64_t at = rec.scratchEnd;
    if (!rec.scratch->WriteAt(at, data, bytes)) return Sense{0x03, 0x0C, 0x00};  // write error
    rec.scratchEnd += bytes;

    if (!open) OpenTrack(disc, *w, settings, int32_t(count));
    Track& t = disc.tracks.back();
    const int32_t next = lba + int32_t(count);
    t.nextWritable = next;
    if (t.end < next) t.end = next;
    if (t.freeBlocks >= 0) t.freeBlocks = std::max(0, t.freeBlocks - int32_t(count));
    AddArea(disc, rec.scratch, lba, int32_t(count), at, sectorSize);
    FinishDisc(disc);
    return sense::kNone;
}

Sense ReserveTrack(Disc& disc, const WriteSettings& settings, int32_t blocks) {
    auto w = DiscView(disc).Writable();
    if (!w || blocks <= 0) return sense::kInvalidFieldInCdb;
    if (w->incomplete) return Sense{0x05, 0x2C, 0x00};  // command sequence error: a track is open
    if (int64_t(w->start) + blocks > disc.capacity) return sense::kInvalidFieldInCdb;
    OpenTrack(disc, *w, settings, blocks);
    disc.tracks.back().freeBlocks = blocks;
    FinishDisc(disc);
    return sense::kNone;
}

Sense CloseTrack(Disc& disc, int number) {
    if (disc.tracks.empty() || !disc.tracks.back().incomplete) return sense::kNone;  // nothing open: nothing to do
    Track& t = disc.tracks.back();
    if (number != 0 && number != t.number) return sense::kInvalidFieldInCdb;
    // A reserved track keeps its reserved size: what was not written reads as zeros.
    t.incomplete = false;
    t.nextWritable = -1;
    t.freeBlocks = -1;
    FinishDisc(disc);
    return sense::kNone;
}

Sense CloseSession(Disc& disc, bool multiSession) {
    if (!disc.lastSessionOpen) return sense::kNone;
    CloseTrack(disc, 0);
    disc.lastSessionOpen = false;
    disc.finalized = !multiSession;
    FinishDisc(disc);
    return sense::kNone;
}

Sense BlankDisc(Disc& disc, int blankingType, int) {
    if (disc.medium != Medium::kCdRw) return sense::kIncompatibleMedium;
    switch (blankingType) {
    case 0:  // the whole disc
    case 1:  // minimal: the table of contents and the first pre-gap
        disc.tracks.clear();
        disc.sessions.clear();
        disc.areas.clear();
        disc.unreadable.clear();
        disc.titles.clear();
        disc.finalized = false;
        disc.lastSessionOpen = false;
        return sense::kNone;
    case 6: {  // the last session
        if (disc.sessions.empty()) return sense::kNone;
        const int last = disc.sessions.back().number;
        const int32_t from = disc.tracks[disc.sessions.back().firstTrack].First();
        disc.tracks.erase(std::remove_if(disc.tracks.begin(), disc.tracks.end(), [last](const Track& t) { return t.session == last; }),
                          disc.tracks.end());
        disc.areas.erase(std::remove_if(disc.areas.begin(), disc.areas.end(), [from](const Area& a) { return a.first >= from; }),
                         disc.areas.end());
        disc.finalized = false;
        disc.lastSessionOpen = false;
        FinishDisc(disc);
        return sense::kNone;
    }
    default: return sense::kInvalidFieldInCdb;
    }
}

}  // namespace dravik::vdrive
