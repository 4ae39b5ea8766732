// Nero images (.nrg): the sectors first, then a chain of chunks (4-byte
// name, 4-byte big-endian size, data) found through a footer at the end
// of the file: "NERO" and a 32-bit offset (the old form) or "NER5" and a
// 64-bit offset. The old form's chunks use 32-bit fields where the newer
// ones ("CUEX", "DAOX", "ETN2") use 64-bit offsets.
//
//   CUES/CUEX  per session: 8-byte cue points (control, track and index in
//              BCD, then the address: MSF in BCD for CUES, an LBA for CUEX)
//   DAOI/DAOX  per session written at once: 22-byte header (size, catalog
//              number, TOC type, first and last track), then per track
//              ISRC (12), sector size (2), mode (1), 3 bytes, and the file
//              offsets of index 0, index 1 and the track's end (4 or 8 each)
//   TINF/ETNF/ETN2  per session written track at once: per track its file
//              offset and length (4 or 8 each), mode (4), start LBA (4, not
//              in TINF), and 4 or 8 more bytes
//   SINF       per session: its number of tracks
//   END!       the end of the chain
//
// Sector sizes 2048 (user data), 2336 (Mode 2 after the header), 2352 and
// 2448 (raw with sub-channel data, which is skipped). Every offset and
// count is checked against the file before use.
#include <algorithm>

#include "platform/byte_order.h"
#include "vdrive/image_loader.h"
#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

namespace {

using bytes::GetBe16;
using bytes::GetBe32;
using bytes::GetBe64;

constexpr size_t kMaxChunks = 1000;
constexpr uint32_t kMaxChunkBytes = 1u << 20;

struct NrgTrack {
    int session = 1;
    TrackMode mode = TrackMode::kMode1;
    uint32_t sectorSize = 2048, stride = 2048;
    uint64_t index0 = 0, index1 = 0, end = 0;  // file offsets
    bool hasLba = false;
    int32_t lba = 0;  // index 1, when the image says
};

struct CuePoint {
    int session;
    int track, index;
    uint8_t control;
    int32_t lba;
};

int FromBcd(uint8_t v) { return (v >> 4) * 10 + (v & 0xF); }

// The layout of a Nero mode number: track mode, bytes a sector holds, and
// bytes a sector takes in the file.
bool ModeLayout(uint32_t mode, TrackMode& trackMode, uint32_t& sectorSize, uint32_t& stride) {
    switch (mode) {
    case 0x00: trackMode = TrackMode::kMode1, sectorSize = stride = 2048; return true;
    case 0x02: trackMode = TrackMode::kMode2, sectorSize = stride = 2048; return true;
    case 0x03: trackMode = TrackMode::kMode2, sectorSize = stride = 2336; return true;
    case 0x05: trackMode = TrackMode::kMode1, sectorSize = stride = 2352; return true;
    case 0x06: trackMode = TrackMode::kMode2, sectorSize = stride = 2352; return true;
    case 0x07: trackMode = TrackMode::kAudio, sectorSize = stride = 2352; return true;
    case 0x0F: trackMode = TrackMode::kMode2, sectorSize = 2352, stride = 2448; return true;
    case 0x10: trackMode = TrackMode::kAudio, sectorSize = 2352, stride = 2448; return true;
    case 0x11: trackMode = TrackMode::kMode1, sectorSize = 2352, stride = 2448; return true;
    default: return false;
    }
}

class NrgReader {
public:
    NrgReader(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Read(LoadedImage& out) {
        std::string why;
        file_ = ImageFile::Open(path_, why);
        if (!file_) return Fail(why);
        uint64_t chain = 0, chainEnd = 0;
        uint8_t foot[12];
        if (file_->Size() < sizeof foot || !file_->ReadAt(file_->Size() - sizeof foot, foot, sizeof foot))
            return Fail("not a Nero image (the file is too short for its footer)");
        if (std::equal(foot, foot + 4, "NER5")) {
            newer_ = true;
            chain = GetBe64(foot + 4);
            chainEnd = file_->Size() - 12;
        } else if (std::equal(foot + 4, foot + 8, "NERO")) {
            chain = GetBe32(foot + 8);
            chainEnd = file_->Size() - 8;
        } else {
            return Fail("not a Nero image (no NERO or NER5 footer)");
        }
        if (chain > chainEnd) return Fail("the chunk chain starts outside the file");
        if (!ReadChunks(chain, chainEnd)) return false;
        return Build(out);
    }

private:
    bool Fail(const std::string& message) {
        error_ = LoadError{path_, 0, message};
        return false;
    }

    bool ReadChunks(uint64_t at, uint64_t end) {
        int session = 0;  // counted by the chunks that open a session's track list
        for (size_t n = 0;; ++n) {
            if (n >= kMaxChunks) return Fail("too many chunks");
            uint8_t head[8];
            if (end - at < sizeof head || !file_->ReadAt(at, head, sizeof head))
                return Fail("the chunk chain runs past its end (no END! chunk)");
            const std::string name(reinterpret_cast<char*>(head), 4);
            const uint32_t size = GetBe32(head + 4);
            at += sizeof head;
            if (name == "END!") break;
            if (size > kMaxChunkBytes || size > end - at) return Fail("chunk " + Printable(name) + " runs past the end of the chain");
            std::vector<uint8_t> data(size);
            if (!file_->ReadAt(at, data.data(), size)) return Fail("chunk " + Printable(name) + " cannot be read");
            at += size;
            if (name == "CUEX" || name == "CUES") {
                if (!Cues(data, name == "CUEX", session + 1)) return false;
            } else if (name == "DAOX" || name == "DAOI") {
                ++session;
                if (!Dao(data, name == "DAOX", session)) return false;
            } else if (name == "ETN2" || name == "ETNF" || name == "TINF") {
                ++session;
                if (!Tao(data, name == "ETN2" ? 32 : name == "ETNF" ? 20 : 12, session)) return false;
            } else if (name == "SINF") {
                if (size < 4) return Fail("the SINF chunk is too short");
                sessionTracks_.push_back(GetBe32(data.data()));
            }
            // Other chunks (CD-TEXT, media type, disc information) are not needed.
        }
        return true;
    }

    static std::string Printable(const std::string& name) {
        std::string text;
        for (char c : name) text += c >= 0x20 && c < 0x7F ? c : '?';
        return "'" + text + "'";
    }

    // Cue points come before the track list of their session.
    bool Cues(const std::vector<uint8_t>& data, bool lbaForm, int session) {
        if (data.size() % 8 != 0) return Fail("a cue chunk is not a whole number of 8-byte points");
        for (size_t i = 0; i < data.size(); i += 8) {
            const uint8_t* p = &data[i];
            int32_t lba = 0;
            if (lbaForm) {
                lba = int32_t(GetBe32(p + 4));
            } else {
                lba = (FromBcd(p[5]) * 60 + FromBcd(p[6])) * 75 + FromBcd(p[7]) - 150;
            }
            if (lba < kFirstAddress - 4500 * 2 || lba > kLastAddress) return Fail("a cue point lies outside the disc");
            cues_.push_back(CuePoint{session, p[1] == 0xAA ? 0xAA : FromBcd(p[1]), FromBcd(p[2]), uint8_t(p[0] >> 4), lba});
        }
        return true;
    }

    bool Dao(const std::vector<uint8_t>& data, bool wide, int session) {
        const size_t entry = wide ? 42 : 30;
        if (data.size() < 22) return Fail("the DAO chunk is too short");
        const int first = data[20], last = data[21];
        if (first < 1 || last < first || last > kMaxTracks || data.size() < 22 + size_t(last - first + 1) * entry)
            return Fail("the DAO chunk's track numbers do not fit it");
        for (int t = first; t <= last; ++t) {
            const uint8_t* p = &data[22 + size_t(t - first) * entry];
            NrgTrack track;
            track.session = session;
            const uint16_t size = GetBe16(p + 12);
            if (!ModeLayout(p[14], track.mode, track.sectorSize, track.stride))
                return Fail("track " + std::to_string(t) + " has the unknown mode " + std::to_string(p[14]));
            if (size != track.stride) return Fail("track " + std::to_string(t) + "'s sector size does not match its mode");
            track.index0 = wide ? GetBe64(p + 18) : GetBe32(p + 18);
            track.index1 = wide ? GetBe64(p + 26) : GetBe32(p + 22);
            track.end = wide ? GetBe64(p + 34) : GetBe32(p + 26);
            if (!AddTrack(track, t)) return false;
        }
        return true;
    }

    bool Tao(const std::vector<uint8_t>& data, size_t entry, int session) {
        if (data.size() % entry != 0 || data.empty()) return Fail("a track list chunk is not a whole number of entries");
        for (size_t i = 0; i < data.size(); i += entry) {
            const uint8_t* p = &data[i];
            const bool wide = entry == 32;
            NrgTrack track;
            track.session = session;
            const uint64_t offset = wide ? GetBe64(p) : GetBe32(p);
            const uint64_t length = wide ? GetBe64(p + 8) : GetBe32(p + 4);
            const uint32_t mode = wide ? GetBe32(p + 16) : GetBe32(p + 8);
            if (!ModeLayout(mode, track.mode, track.sectorSize, track.stride))
                return Fail("track " + std::to_string(tracks_.size() + 1) + " has the unknown mode " + std::to_string(mode));
            track.index0 = track.index1 = offset;
            if (length > UINT64_MAX - offset) return Fail("a track's length is out of range");
            track.end = offset + length;
            if (entry != 12) {
                track.hasLba = true;
                track.lba = int32_t(GetBe32(p + (wide ? 20 : 12)));
            }
            if (!AddTrack(track, int(tracks_.size()) + 1)) return false;
        }
        return true;
    }

    bool AddTrack(const NrgTrack& t, int number) {
        const std::string name = "track " + std::to_string(number);
        if (tracks_.size() >= size_t(kMaxTracks)) return Fail("more than 99 tracks");
        if (number != int(tracks_.size()) + 1) return Fail(name + " does not follow the track before");
        if (t.index0 > t.index1 || t.index1 >= t.end || t.end > file_->Size())
            return Fail(name + " lies outside the image");
        if ((t.index1 - t.index0) % t.stride != 0 || (t.end - t.index1) % t.stride != 0)
            return Fail(name + " is not a whole number of " + std::to_string(t.stride) + "-byte sectors");
        if ((t.end - t.index0) / t.stride > uint64_t(kLastAddress)) return Fail(name + " is larger than a disc");
        tracks_.push_back(t);
        return true;
    }

    const CuePoint* Cue(int track, int index, int session) const {
        for (const CuePoint& c : cues_)
            if (c.track == track && c.index == index && (track != 0xAA || c.session == session)) return &c;
        return nullptr;
    }

    bool Build(LoadedImage& out) {
        if (tracks_.empty()) return Fail("the image lists no tracks");
        // Track-at-once lists may leave the sessions to SINF chunks.
        if (!sessionTracks_.empty()) {
            size_t at = 0;
            for (size_t s = 0; s < sessionTracks_.size(); ++s)
                for (uint32_t n = 0; n < sessionTracks_[s] && at < tracks_.size(); ++n) tracks_[at++].session = int(s) + 1;
        }
        auto disc = std::make_shared<Disc>();
        disc->medium = Medium::kCdRom;
        disc->sourcePath = path_;
        int32_t next = 0;  // where a track without an address follows the one before
        for (size_t i = 0; i < tracks_.size(); ++i) {
            const NrgTrack& n = tracks_[i];
            const int number = int(i) + 1;
            Track t;
            t.number = number;
            t.session = n.session;
            t.mode = n.mode;
            const int32_t stored0 = int32_t((n.index1 - n.index0) / n.stride);
            const int32_t blocks = int32_t((n.end - n.index1) / n.stride);
            const CuePoint* one = Cue(number, 1, n.session);
            const CuePoint* zero = Cue(number, 0, n.session);
            if (one) t.start = one->lba;
            else if (n.hasLba) t.start = n.lba;
            else t.start = next + (i > 0 && tracks_[i - 1].session != n.session ? SessionGap(tracks_[i - 1].session) : 0);
            if (i > 0 && tracks_[i - 1].session != n.session && !one && n.hasLba) t.start = n.lba;
            t.control = one ? one->control : uint8_t(n.mode == TrackMode::kAudio ? 0 : 4);
            if ((t.control & 0x4) != 0 && n.mode == TrackMode::kAudio) return Fail("track " + std::to_string(number) + " is audio but marked data");
            if ((t.control & 0x4) == 0 && n.mode != TrackMode::kAudio) t.control |= 0x4;
            // The pre-gap: from the index 0 cue point (the first track's
            // lead-in gap is not a pre-gap here) or what the file holds.
            t.pregap = stored0;
            if (zero && number > 1 && t.start - zero->lba > stored0) t.pregap = t.start - zero->lba;
            if (t.start < kFirstAddress + t.pregap || int64_t(t.start) + blocks > kLastAddress)
                return Fail("track " + std::to_string(number) + " lies outside the disc");
            t.end = t.start + blocks;
            disc->areas.push_back(Area{t.start - stored0, stored0 + blocks, file_, n.index0, n.sectorSize, n.stride});
            disc->tracks.push_back(t);
            next = t.end;
        }
        std::string problem = FinishDisc(*disc);
        if (!problem.empty()) return Fail(problem);
        out.disc = std::move(disc);
        out.drive = DriveConfig{};
        return true;
    }

    const std::string& path_;
    LoadError& error_;
    std::shared_ptr<ImageFile> file_;
    bool newer_ = false;
    std::vector<NrgTrack> tracks_;
    std::vector<CuePoint> cues_;
    std::vector<uint32_t> sessionTracks_;
};

}  // namespace

bool LoadNrg(const std::string& path, LoadedImage& out, LoadError& error) {
    NrgReader reader(path, error);
    return reader.Read(out);
}

}  // namespace dravik::vdrive
