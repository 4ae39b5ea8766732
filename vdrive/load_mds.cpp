// Alcohol images: a .mds descriptor (version 1, little-endian) and the
// sectors in an .mdf file beside it.
//
//   header (88 bytes)   "MEDIA DESCRIPTOR", version, medium type (2 at
//                       18), sessions (2 at 20), session blocks (4 at 80)
//   session (24 bytes)  start and end (4 + 4), number (2), entries (1),
//                       entries that are not tracks (1), first and last
//                       track (2 + 2), 4 bytes, the first entry (4 at 20)
//   entry (80 bytes)    mode (0xA9 audio, 0xAA Mode 1, 0xAB Mode 2, 0xAC
//                       Mode 2 Form 1), sub-channel (0 none, 8 after each
//                       sector), ADR/control (control low), TNO, point (1-99 a track),
//                       MSF, PMSF, the extra block (4 at 12: pre-gap and
//                       length, 4 + 4), sector size (2 at 16), start
//                       sector (4 at 36), file offset (8 at 40), file
//                       names (4 at 48) and their block (4 at 52)
//   file name block     name offset (4), 0 for 8-bit or 1 for UTF-16
//                       characters; the name "*.mdf" stands for the
//                       descriptor's own name with .mdf
//
// The .mdf holds every track from its file offset: the pre-gap (except
// the first track of a session, whose pre-gap lies in the lead-in gap),
// then its sectors of the given size; with sub-channel data each sector
// is 96 bytes longer. Every offset and count is checked before use.
#include "platform/byte_order.h"
#include "vdrive/image_loader.h"
#include "vdrive/sector_codec.h"
#include "vdrive/text_lines.h"

namespace dravik::vdrive {

namespace {

using bytes::GetLe16;
using bytes::GetLe32;
using bytes::GetLe64;

constexpr size_t kMaxDescriptorBytes = 1u << 20;
constexpr size_t kSessionBlockBytes = 24, kEntryBytes = 80, kDescriptorHeaderBytes = 88;

class MdsReader {
public:
    MdsReader(const std::string& path, LoadError& error) : path_(path), error_(error) {}

    bool Read(LoadedImage& out) {
        if (!ReadTextFile(path_, mds_, error_, kMaxDescriptorBytes)) return false;
        const auto* d = reinterpret_cast<const uint8_t*>(mds_.data());
        if (mds_.size() < kDescriptorHeaderBytes || mds_.compare(0, 16, "MEDIA DESCRIPTOR") != 0)
            return Fail("not an Alcohol descriptor (no MEDIA DESCRIPTOR header)");
        if (d[16] != 1) return Fail("descriptor version " + std::to_string(d[16]) + " is not supported (only 1.x)");
        const uint16_t medium = GetLe16(d + 18);
        if (medium >= 0x10) return Fail("only CD images are supported (the medium is a DVD)");
        const uint16_t sessions = GetLe16(d + 20);
        const uint32_t sessionAt = GetLe32(d + 80);
        if (sessions == 0 || sessions > kMaxSessions || !Fits(sessionAt, size_t(sessions) * kSessionBlockBytes))
            return Fail("the session blocks lie outside the descriptor");
        auto disc = std::make_shared<Disc>();
        disc->medium = Medium::kCdRom;  // served as pressed: the image keeps no ATIP
        disc->sourcePath = path_;
        for (uint16_t s = 0; s < sessions; ++s) {
            const uint8_t* b = d + sessionAt + s * kSessionBlockBytes;
            const int entries = b[10];
            const uint32_t entryAt = GetLe32(b + 20);
            if (!Fits(entryAt, size_t(entries) * kEntryBytes)) return Fail("the track entries lie outside the descriptor");
            bool firstOfSession = true;
            for (int e = 0; e < entries; ++e) {
                const uint8_t* t = d + entryAt + size_t(e) * kEntryBytes;
                if (t[4] < 1 || t[4] > 99) continue;  // A0, A1, A2 and other points
                if (!AddTrack(t, s + 1, firstOfSession, *disc)) return false;
                firstOfSession = false;
            }
        }
        if (disc->tracks.empty()) return Fail("the descriptor lists no tracks");
        std::string problem = FinishDisc(*disc);
        if (!problem.empty()) return Fail(problem);
        out.disc = std::move(disc);
        out.drive = DriveConfig{};
        return true;
    }

private:
    bool Fail(const std::string& message) {
        error_ = LoadError{path_, 0, message};
        return false;
    }

    bool Fits(uint64_t at, uint64_t length) const { return at <= mds_.size() && length <= mds_.size() - at; }

    // The .mdf named by a file name block.
    bool DataFile(const uint8_t* entry, std::shared_ptr<ImageFile>& file) {
        const auto* d = reinterpret_cast<const uint8_t*>(mds_.data());
        const uint32_t names = GetLe32(entry + 48), block = GetLe32(entry + 52);
        std::string name = "*.mdf";
        if (names > 0) {
            if (!Fits(block, 16)) return Fail("a file name block lies outside the descriptor");
            const uint32_t at = GetLe32(d + block);
            const bool wide = d[block + 4] != 0;
            if (at >= mds_.size()) return Fail("a file name lies outside the descriptor");
            name.clear();
            for (size_t i = at; i + (wide ? 1 : 0) < mds_.size() && name.size() < kMaxLineLength; i += wide ? 2 : 1) {
                const uint16_t c = wide ? GetLe16(d + i) : d[i];
                if (c == 0) break;
                name += c < 0x80 ? char(c) : '?';
            }
        }
        if (name == "*.mdf" || name.empty()) {
            const size_t dot = path_.rfind('.'), slash = path_.rfind('/');
            name = (dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path_.substr(0, dot) : path_) + ".mdf";
        } else {
            name = ResolveBeside(path_, name);
        }
        if (auto known = files_.find(name); known != files_.end()) {
            file = known->second;
            return true;
        }
        std::string why;
        file = ImageFile::Open(name, why);
        if (!file) return Fail(why);
        files_[name] = file;
        return true;
    }

    bool AddTrack(const uint8_t* e, int session, bool firstOfSession, Disc& disc) {
        const int number = e[4];
        const std::string name = "track " + std::to_string(number);
        if (number != int(disc.tracks.size()) + 1) return Fail(name + " does not follow the track before");
        Track t;
        t.number = number;
        t.session = session;
        switch (e[0]) {
        case 0xA9: t.mode = TrackMode::kAudio; break;
        case 0xAA: t.mode = TrackMode::kMode1; break;
        case 0xAB: case 0xAC: t.mode = TrackMode::kMode2; break;
        default: return Fail(name + " has the unsupported mode " + std::to_string(e[0]));
        }
        t.control = uint8_t((e[2] & 0x0F) | (t.mode == TrackMode::kAudio ? 0 : 0x4));
        const uint32_t stride = GetLe16(e + 16);
        const uint32_t sub = e[1] == 0 ? 0 : uint32_t(kSubChannelSize);
        const uint32_t size = stride >= sub ? stride - sub : 0;
        if (size != 2048 && size != 2336 && size != 2352) return Fail(name + " has the unsupported sector size " + std::to_string(stride));
        if (t.mode == TrackMode::kAudio && size != 2352) return Fail(name + " is audio with sectors of " + std::to_string(size) + " bytes");
        const uint32_t extra = GetLe32(e + 12);
        uint32_t pregap = 0, length = 0;
        if (extra != 0) {
            if (!Fits(extra, 8)) return Fail("the extra block of " + name + " lies outside the descriptor");
            pregap = GetLe32(reinterpret_cast<const uint8_t*>(mds_.data()) + extra);
            length = GetLe32(reinterpret_cast<const uint8_t*>(mds_.data()) + extra + 4);
        }
        const int64_t start = int32_t(GetLe32(e + 36));
        const uint64_t offset = GetLe64(e + 40);
        const uint32_t stored = firstOfSession ? 0 : pregap;
        if (length == 0 || length > uint32_t(kLastAddress) || pregap > uint32_t(kLastAddress) || start < kFirstAddress + int64_t(pregap) ||
            start + length > kLastAddress)
            return Fail(name + " lies outside the disc");
        std::shared_ptr<ImageFile> file;
        if (!DataFile(e, file)) return false;
        const uint64_t bytes = uint64_t(stored + length) * stride;
        if (offset > file->Size() || bytes > file->Size() - offset)
            return Fail("'" + file->Path() + "' is truncated: " + name + " needs " + std::to_string(offset + bytes) + " bytes");
        t.start = int32_t(start);
        t.pregap = int32_t(pregap);
        t.end = int32_t(start + length);
        disc.areas.push_back(Area{t.start - int32_t(stored), int32_t(stored + length), file, offset, size, stride});
        disc.tracks.push_back(t);
        return true;
    }

    const std::string& path_;
    LoadError& error_;
    std::string mds_;
    std::map<std::string, std::shared_ptr<ImageFile>> files_;
};

}  // namespace

bool LoadMds(const std::string& path, LoadedImage& out, LoadError& error) {
    MdsReader reader(path, error);
    return reader.Read(out);
}

}  // namespace dravik::vdrive
