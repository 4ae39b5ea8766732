// DiscJuggler images (.cdi): every track's sectors from the start of the
// file, pre-gap first, one track after the other; then a descriptor; then
// an 8-byte footer: the version word (0x80000004 version 2, 0x80000005
// version 3, 0x80000006 version 3.5) and where the descriptor begins (an
// absolute offset, or in version 3.5 its distance from the end of the
// file). All numbers are little-endian.
//
//   descriptor     sessions (2), then per session its tracks (2), the
//                  track blocks and a session trailer of 12 bytes (13
//                  from version 3 on); what follows the last session
//                  (an empty session and the disc block) is not needed
//   track block    4 bytes, nonzero when 8 more follow (3.00.780); the
//                  start mark 00 00 01 00 00 00 FF FF FF FF twice; 4
//                  bytes; the file name (1 + length); 19 bytes; the
//                  capacity (4, or 0x80000000 and 8 more); the index
//                  lengths (2 for their count, 4 each: the stored
//                  pre-gap, then the rest of the track); CD-TEXT blocks
//                  (4 for their count, each 18 length-prefixed fields);
//                  2 bytes; mode (4: 0 audio, 1 Mode 1, 2 Mode 2); 4
//                  bytes; session and track in the session (4 + 4); the
//                  address of index 1 and the total length (4 + 4); 16
//                  bytes; the read mode (4: 0 2048 bytes, 1 2336, 2 2352,
//                  3 2352 + 16 and 4 2352 + 96 of sub-channel data, which
//                  is skipped); control (4); 25 bytes; from version 3 on
//                  9 bytes, ending FF FF FF FF when 78 more follow
//
// The descriptor is untrusted: every count is bounded and every field is
// read through a cursor that stops at the end of the descriptor.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "platform/byte_order.h"
#include "vdrive/image_loader.h"
#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

namespace {

using bytes::GetLe16;
using bytes::GetLe32;

constexpr uint32_t kVersion2 = 0x80000004, kVersion3 = 0x80000005, kVersion35 = 0x80000006;
constexpr uint64_t kMaxCdiDescriptorBytes = 4u << 20;
constexpr uint32_t kMaxIndexes = 99, kMaxTextBlocks = 99;
constexpr uint8_t kStartMark[10] = {0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};

// Reads fields from the descriptor; a read past its end fails and leaves
// the cursor failed, so callers check once after a group of reads.
class Cursor {
public:
    explicit Cursor(const std::vector<uint8_t>& data) : data_(data) {}
    bool ok() const { return ok_; }
    const uint8_t* Take(size_t n) {
        if (!ok_ || n > data_.size() - at_) {
            ok_ = false;
            return nullptr;
        }
        const uint8_t* p = data_.data() + at_;
        at_ += n;
        return p;
    }
    void Skip(size_t n) { Take(n); }
    uint32_t U8() { const uint8_t* p = Take(1); return p ? *p : 0; }
    uint32_t U16() { const uint8_t* p = Take(2); return p ? GetLe16(p) : 0; }
    uint32_t U32() { const uint8_t* p = Take(4); return p ? GetLe32(p) : 0; }

private:
    const std::vector<uint8_t>& data_;
    size_t at_ = 0;
    bool ok_ = true;
};

struct CdiTrack {
    uint32_t mode = 0, readMode = 0, control = 0;
    uint32_t pregap = 0, length = 0;  // blocks stored before index 1, and from it
    int64_t start = 0;                // address of index 1
};

class CdiReader {
public:
    CdiReader(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Read(LoadedImage& out) {
        std::string why;
        file_ = ImageFile::Open(path_, why);
        if (!file_) return Fail(why);
        uint8_t foot[8];
        const uint64_t size = file_->Size();
        if (size < sizeof foot || !file_->ReadAt(size - sizeof foot, foot, sizeof foot))
            return Fail("not a DiscJuggler image (the file is too short for its footer)");
        const uint32_t version = GetLe32(foot), where = GetLe32(foot + 4);
        if (version != kVersion2 && version != kVersion3 && version != kVersion35) {
            if ((version & 0xFFFFFFF0u) == 0x80000000u)
                return Fail("unsupported DiscJuggler version (version word " + Hex(version) + ")");
            return Fail("not a DiscJuggler image (no version word in its footer)");
        }
        version_ = version;
        // The descriptor lies between the sectors and the footer.
        const uint64_t footer = size - sizeof foot;
        descriptorAt_ = version == kVersion35 ? (where <= size ? size - where : footer + 1) : where;
        if (descriptorAt_ >= footer) return Fail("the descriptor lies outside the file");
        if (footer - descriptorAt_ > kMaxCdiDescriptorBytes) return Fail("the descriptor is implausibly large");
        std::vector<uint8_t> descriptor(footer - descriptorAt_);
        if (!file_->ReadAt(descriptorAt_, descriptor.data(), descriptor.size())) return Fail("the descriptor cannot be read");
        Cursor c(descriptor);
        if (!Sessions(c)) return false;
        return Build(out);
    }

private:
    bool Fail(const std::string& message) {
        error_ = LoadError{path_, 0, message};
        return false;
    }

    static std::string Hex(uint32_t v) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", unsigned(v));
        return text;
    }

    bool Sessions(Cursor& c) {
        const uint32_t sessions = c.U16();
        if (!c.ok() || sessions == 0 || sessions > uint32_t(kMaxSessions)) return Fail("the descriptor's session count is out of range");
        for (uint32_t s = 0; s < sessions; ++s) {
            const uint32_t count = c.U16();
            if (!c.ok()) return Fail("session " + std::to_string(s + 1) + " lies past the end of the descriptor");
            if (tracks_.size() + count > size_t(kMaxTracks)) return Fail("more than 99 tracks");
            if (count > 0) ++session_;  // sessions without tracks are not counted
            for (uint32_t t = 0; t < count; ++t)
                if (!TrackBlock(c)) return false;
            c.Skip(version_ == kVersion2 ? 12 : 13);
            if (!c.ok()) return Fail("session " + std::to_string(s + 1) + " lies past the end of the descriptor");
        }
        if (tracks_.empty()) return Fail("the image lists no tracks");
        return true;
    }

    bool TrackBlock(Cursor& c) {
        const int number = int(tracks_.size()) + 1;
        const std::string name = "track " + std::to_string(number);
        if (c.U32() != 0) c.Skip(8);
        const uint8_t* mark = c.Take(20);
        if (!c.ok()) return Fail(name + " lies past the end of the descriptor");
        if (!std::equal(kStartMark, kStartMark + 10, mark) || !std::equal(kStartMark, kStartMark + 10, mark + 10))
            return Fail(name + " does not begin with the track start mark");
        c.Skip(4);
        c.Skip(c.U8());  // the image's file name
        c.Skip(19);
        if (c.U32() == 0x80000000u) c.Skip(8);
        const uint32_t indexes = c.U16();
        if (!c.ok()) return Fail(name + " lies past the end of the descriptor");
        if (indexes < 2 || indexes > kMaxIndexes) return Fail(name + " has an unusable index list");
        CdiTrack t;
        t.pregap = c.U32();
        for (uint32_t i = 1; i < indexes; ++i) {
            const uint32_t length = c.U32();
            if (length > uint32_t(kLastAddress) - t.length) return Fail(name + " is larger than a disc");
            t.length += length;
        }
        const uint32_t textBlocks = c.U32();
        if (textBlocks > kMaxTextBlocks) return Fail(name + " has an unusable CD-TEXT count");
        for (uint32_t b = 0; b < textBlocks; ++b)
            for (int field = 0; field < 18; ++field) c.Skip(c.U8());
        c.Skip(2);
        t.mode = c.U32();
        c.Skip(12);  // 4 bytes, the session and the track in it
        t.start = int32_t(c.U32());
        c.Skip(4 + 16);
        t.readMode = c.U32();
        t.control = c.U32();
        c.Skip(25);
        if (version_ != kVersion2) {
            c.Skip(5);
            if (c.U32() == 0xFFFFFFFFu) c.Skip(78);
        }
        if (!c.ok()) return Fail(name + " lies past the end of the descriptor");
        // Some images keep a track of nothing but its first index.
        if (t.length == 0) std::swap(t.length, t.pregap);
        tracks_.push_back(t);
        sessions_.push_back(session_);
        return true;
    }

    bool Build(LoadedImage& out) {
        auto disc = std::make_shared<Disc>();
        disc->medium = Medium::kCdRom;
        disc->sourcePath = path_;
        uint64_t offset = 0;  // the tracks' sectors follow each other from the start of the file
        for (size_t i = 0; i < tracks_.size(); ++i) {
            const CdiTrack& c = tracks_[i];
            const std::string name = "track " + std::to_string(i + 1);
            Track t;
            t.number = int(i) + 1;
            t.session = sessions_[i];
            switch (c.mode) {
            case 0: t.mode = TrackMode::kAudio; break;
            case 1: t.mode = TrackMode::kMode1; break;
            case 2: t.mode = TrackMode::kMode2; break;
            default: return Fail(name + " has the unknown mode " + std::to_string(c.mode));
            }
            static const uint32_t kStrides[] = {2048, 2336, 2352, 2352 + 16, 2352 + uint32_t(kSubChannelSize)};
            if (c.readMode >= std::size(kStrides))
                return Fail(name + " has the unknown sector layout " + std::to_string(c.readMode));
            const uint32_t stride = kStrides[c.readMode], size = std::min<uint32_t>(stride, 2352);
            if (t.mode == TrackMode::kAudio && size != 2352)
                return Fail(name + " is audio with sectors of " + std::to_string(size) + " bytes");
            if (t.mode == TrackMode::kMode1 && size == 2336) return Fail(name + " is Mode 1 with sectors of 2336 bytes");
            t.control = uint8_t((c.control & 0x0B) | (t.IsData() ? 0x4 : 0));
            if (c.length == 0 || c.start < kFirstAddress + int64_t(c.pregap) || c.start + c.length > kLastAddress)
                return Fail(name + " lies outside the disc");
            const uint64_t bytes = (uint64_t(c.pregap) + c.length) * stride;
            if (offset + bytes > file_->Size()) return Fail(name + " lies past the end of the file");
            if (offset + bytes > descriptorAt_) return Fail(name + " runs into the descriptor at the end of the file");
            t.start = int32_t(c.start);
            t.pregap = int32_t(c.pregap);
            t.end = int32_t(c.start + c.length);
            disc->areas.push_back(Area{t.First(), int32_t(c.pregap + c.length), file_, offset, size, stride});
            disc->tracks.push_back(t);
            offset += bytes;
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
    uint32_t version_ = 0;
    uint64_t descriptorAt_ = 0;
    int session_ = 0;
    std::vector<CdiTrack> tracks_;
    std::vector<int> sessions_;
};

}  // namespace

bool LoadCdi(const std::string& path, LoadedImage& out, LoadError& error) {
    CdiReader reader(path, error);
    return reader.Read(out);
}

}  // namespace dravik::vdrive
