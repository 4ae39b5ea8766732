#include "vdrive/disc.h"

#include <algorithm>

namespace dravik::vdrive {

void MergeRanges(std::vector<BlockRange>& ranges) {
    std::sort(ranges.begin(), ranges.end(), [](const BlockRange& a, const BlockRange& b) { return a.first < b.first; });
    std::vector<BlockRange> merged;
    for (const BlockRange& r : ranges) {
        if (!merged.empty() && int64_t(r.first) <= int64_t(merged.back().last) + 1)
            merged.back().last = std::max(merged.back().last, r.last);
        else
            merged.push_back(r);
    }
    ranges.swap(merged);
}

std::string FinishDisc(Disc& disc, int* line) {
    int unused = 0;
    int& problemLine = line ? *line : unused;
    problemLine = 0;
    auto AtLine = [&problemLine](const Track& t, const std::string& text) {
        problemLine = t.line;
        return text;
    };
    disc.sessions.clear();
    MergeRanges(disc.unreadable);
    std::sort(disc.areas.begin(), disc.areas.end(), [](const Area& a, const Area& b) { return a.first < b.first; });
    for (size_t i = 1; i < disc.areas.size(); ++i)
        if (disc.areas[i].first < disc.areas[i - 1].End()) return "two sources give the same blocks";

    if (disc.medium == Medium::kNone) {
        disc.tracks.clear();
        disc.areas.clear();
        return {};
    }
    if (!disc.Recordable()) {
        disc.finalized = true;
        disc.lastSessionOpen = false;
    }
    if (disc.tracks.empty()) {
        if (disc.medium == Medium::kDvdPlusRw) return {};
        if (!disc.Recordable()) return "a disc without tracks must be a blank CD-R, CD-RW or DVD+RW";
        disc.finalized = false;
        disc.lastSessionOpen = false;
        return {};
    }
    if (disc.tracks.size() > size_t(kMaxTracks)) return "more than 99 tracks";
    if (disc.capacity < 0 || disc.capacity > kLastAddress) return "capacity out of range";

    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        Track& t = disc.tracks[i];
        const std::string name = "track " + std::to_string(t.number);
        if (t.number < 1 || t.number > kMaxTracks) return AtLine(t, name + ": track numbers run from 1 to 99");
        if (t.pregap < 0) return AtLine(t, name + ": negative pre-gap");
        if (t.First() < kFirstAddress || t.end > kLastAddress + 1)
            return AtLine(t, name + ": blocks outside the disc's address range");
        if (t.end <= t.start) return AtLine(t, name + ": the track holds no blocks");
        if (t.incomplete && i + 1 != disc.tracks.size()) return AtLine(t, name + ": only the last track can be open");
        if (t.packet && t.fixedPacketSize > 0 && t.fixedPacketSize > 65536)
            return AtLine(t, name + ": packet size too large");
        if (i == 0) {
            if (t.session != 1) return AtLine(t, "the first track must be in session 1");
            continue;
        }
        const Track& prev = disc.tracks[i - 1];
        if (t.number != prev.number + 1)
            return AtLine(t, name + ": track numbers must rise by one (after track " + std::to_string(prev.number) + ")");
        if (t.session != prev.session && t.session != prev.session + 1)
            return AtLine(t, name + ": session numbers must rise by one");
        if (t.First() < prev.end)
            return AtLine(t, name + " overlaps track " + std::to_string(prev.number));
    }
    if (disc.tracks.back().session > kMaxSessions) return "more than 99 sessions";
    if (disc.tracks.back().incomplete) disc.lastSessionOpen = true;
    if (disc.lastSessionOpen && !disc.Recordable()) return "only a CD-R or CD-RW can have an open session";
    if (disc.lastSessionOpen) disc.finalized = false;

    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const Track& t = disc.tracks[i];
        if (disc.sessions.empty() || disc.sessions.back().number != t.session) {
            Session s;
            s.number = t.session;
            s.firstTrack = i;
            disc.sessions.push_back(s);
        }
        disc.sessions.back().lastTrack = i;
        disc.sessions.back().leadOut = t.end;
    }
    disc.sessions.back().closed = !disc.lastSessionOpen;
    return {};
}

int DiscView::ClosedSessionCount() const {
    int n = 0;
    for (const Session& s : disc_.sessions) n += s.closed ? 1 : 0;
    return n;
}

const Track* DiscView::TrackByNumber(int number) const {
    for (const Track& t : disc_.tracks)
        if (t.number == number) return &t;
    return nullptr;
}

const Track* DiscView::TrackAt(int32_t lba) const {
    auto it = std::upper_bound(disc_.tracks.begin(), disc_.tracks.end(), lba,
                               [](int32_t v, const Track& t) { return v < t.First(); });
    if (it == disc_.tracks.begin()) return nullptr;
    --it;
    return lba < it->end ? &*it : nullptr;
}

const Area* DiscView::AreaAt(int32_t lba) const {
    auto it = std::upper_bound(disc_.areas.begin(), disc_.areas.end(), lba,
                               [](int32_t v, const Area& a) { return v < a.first; });
    if (it == disc_.areas.begin()) return nullptr;
    --it;
    return lba < it->End() ? &*it : nullptr;
}

bool DiscView::Unreadable(int32_t lba) const {
    auto it = std::upper_bound(disc_.unreadable.begin(), disc_.unreadable.end(), lba,
                               [](int32_t v, const BlockRange& r) { return v < r.first; });
    if (it == disc_.unreadable.begin()) return false;
    --it;
    return lba <= it->last;
}

int32_t DiscView::RecordedEnd() const { return disc_.tracks.empty() ? 0 : disc_.tracks.back().end; }

int32_t DiscView::NextProgramArea(const Session& session) const {
    return session.leadOut + (session.number == 1 ? kFirstLeadOutBlocks : kLaterLeadOutBlocks) + kLeadInBlocks;
}

std::optional<WritableTrack> DiscView::Writable() const {
    if (!disc_.Recordable() || disc_.finalized) return std::nullopt;
    WritableTrack w;
    if (disc_.tracks.empty()) {
        w.freeBlocks = disc_.capacity;
        return w;
    }
    const Track& last = disc_.tracks.back();
    if (last.incomplete) {
        w.number = last.number;
        w.session = last.session;
        w.start = last.start;
        w.nextWritable = last.nextWritable >= 0 ? last.nextWritable : last.end;
        w.freeBlocks = last.freeBlocks >= 0 ? last.freeBlocks : std::max(0, disc_.capacity - w.nextWritable);
        w.incomplete = &last;
        return w;
    }
    w.number = last.number + 1;
    if (disc_.lastSessionOpen) {
        w.session = last.session;
        w.start = last.end;
    } else {
        w.session = last.session + 1;
        w.start = NextProgramArea(disc_.sessions.back());
    }
    w.nextWritable = w.start;
    w.freeBlocks = std::max(0, disc_.capacity - w.start);
    return w;
}

int DiscView::DiscStatus() const {
    if (disc_.tracks.empty()) return 0;
    return disc_.finalized ? 2 : 1;
}

int DiscView::LastSessionState() const {
    if (disc_.tracks.empty()) return 0;
    if (disc_.lastSessionOpen) return 1;
    return disc_.finalized ? 3 : 0;
}

uint8_t DiscView::DiscType() const {
    for (const Track& t : disc_.tracks)
        if (t.mode == TrackMode::kMode2) return 0x20;
    return 0x00;
}

}  // namespace dravik::vdrive
