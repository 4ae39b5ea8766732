// CD images in MAME's compressed hunk format (.chd, made by "chdman
// createcd"): the tracks come from the metadata entries "CHT2" (or the
// older "CHTR"), one a track in order:
//
//   TRACK:2 TYPE:AUDIO SUBTYPE:NONE FRAMES:100 PREGAP:20 PGTYPE:VAUDIO PGSUB:NONE POSTGAP:0
//
// Each track's frames follow the track before in the image, padded to a
// multiple of 4 frames; every frame is 2448 bytes, the sector data first
// (as many bytes as the type keeps), then sub-channel data (not used). A
// PGTYPE beginning with "V" means the pre-gap is among the track's frames;
// otherwise it, like the post-gap, is not stored and reads as zeros. The
// format has no sessions: the disc has one. Block 0 is the first track's
// index 1.
#include <sstream>

#include "vdrive/chd_file.h"
#include "vdrive/image_loader.h"
#include "vdrive/sector_codec.h"
#include "vdrive/text_lines.h"

namespace dravik::vdrive {

namespace {

constexpr uint32_t kTrackPadding = 4;

struct ChdTrack {
    int number = 0;
    std::string type;
    int64_t frames = 0, pregap = 0, postgap = 0;
    bool pregapStored = false;
};

bool ParseTrackText(const std::string& text, ChdTrack& t) {
    std::map<std::string, std::string> values;
    std::istringstream words(text.substr(0, text.find('\0')));
    std::string word;
    while (words >> word) {
        const size_t colon = word.find(':');
        if (colon == std::string::npos) return false;
        values[word.substr(0, colon)] = word.substr(colon + 1);
    }
    int64_t n = 0;
    auto number = [&](const char* key, int64_t& out, bool required) {
        auto it = values.find(key);
        if (it == values.end()) return !required;
        if (!ParseNumber(it->second, 0, kLastAddress, n)) return false;
        out = n;
        return true;
    };
    int64_t track = 0;
    if (!number("TRACK", track, true) || !number("FRAMES", t.frames, true) || !number("PREGAP", t.pregap, false) ||
        !number("POSTGAP", t.postgap, false) || !values.count("TYPE"))
        return false;
    t.number = int(track);
    t.type = values["TYPE"];
    t.pregapStored = !values["PGTYPE"].empty() && values["PGTYPE"][0] == 'V';
    return true;
}

bool TypeLayout(const std::string& type, TrackMode& mode, uint32_t& sectorSize) {
    if (type == "AUDIO") mode = TrackMode::kAudio, sectorSize = 2352;
    else if (type == "MODE1") mode = TrackMode::kMode1, sectorSize = 2048;
    else if (type == "MODE1_RAW") mode = TrackMode::kMode1, sectorSize = 2352;
    else if (type == "MODE2" || type == "MODE2_FORM_MIX") mode = TrackMode::kMode2, sectorSize = 2336;
    else if (type == "MODE2_FORM1") mode = TrackMode::kMode2, sectorSize = 2048;
    else if (type == "MODE2_RAW") mode = TrackMode::kMode2, sectorSize = 2352;
    else return false;
    return true;
}

}  // namespace

bool LoadChd(const std::string& path, LoadedImage& out, LoadError& error) {
    auto Fail = [&](const std::string& why) {
        error = LoadError{path, 0, why};
        return false;
    };
    std::string why;
    auto chd = ChdFile::Open(path, why);
    if (!chd) return Fail(why);
    if (chd->UnitBytes() != kChdFrameBytes) return Fail("not a CD image (units of " + std::to_string(chd->UnitBytes()) + " bytes)");
    std::vector<ChdTrack> tracks;
    for (const ChdMetadata& m : chd->Metadata()) {
        const bool cht2 = m.tag == 0x43485432, chtr = m.tag == 0x43485452;  // "CHT2", "CHTR"
        if (m.tag == 0x43484344) return Fail("the old binary CD metadata (CHCD) is not supported");
        if (m.tag == 0x43484744) return Fail("GD-ROM images are not supported");
        if (!cht2 && !chtr) continue;
        ChdTrack t;
        if (!ParseTrackText(m.data, t)) return Fail("bad track metadata '" + m.data.substr(0, 100) + "'");
        if (t.number != int(tracks.size()) + 1) return Fail("the track metadata is not in order");
        if (tracks.size() >= size_t(kMaxTracks)) return Fail("more than 99 tracks");
        tracks.push_back(t);
    }
    if (tracks.empty()) return Fail("the image has no CD track metadata");

    auto disc = std::make_shared<Disc>();
    disc->medium = Medium::kCdRom;
    disc->sourcePath = path;
    int64_t frame = 0;   // in the image
    int64_t cursor = 0;  // block address, moved so that track 1's index 1 is 0 below
    for (const ChdTrack& c : tracks) {
        Track t;
        uint32_t sectorSize = 0;
        if (!TypeLayout(c.type, t.mode, sectorSize)) return Fail("track " + std::to_string(c.number) + " has the unsupported type " + c.type);
        if (c.pregapStored && c.pregap > c.frames) return Fail("track " + std::to_string(c.number) + " has a pre-gap longer than itself");
        const int64_t stored = c.frames;
        const int64_t bytesNeeded = (frame + stored) * int64_t(kChdFrameBytes);
        if (stored <= 0 || frame + stored > kLastAddress || uint64_t(bytesNeeded) > chd->Size())
            return Fail("track " + std::to_string(c.number) + " lies outside the image");
        t.number = c.number;
        t.control = t.mode == TrackMode::kAudio ? 0x0 : 0x4;
        t.pregap = int32_t(c.pregap);
        const int64_t first = cursor;
        const int64_t dataFirst = c.pregapStored ? first : first + c.pregap;
        t.start = int32_t(first + c.pregap);
        t.end = int32_t(dataFirst + stored + c.postgap);
        if (t.end <= t.start || t.end > kLastAddress) return Fail("track " + std::to_string(c.number) + " holds no blocks");
        disc->areas.push_back(Area{int32_t(dataFirst), int32_t(stored), chd, uint64_t(frame) * kChdFrameBytes, sectorSize,
                                   kChdFrameBytes});
        if (t.mode == TrackMode::kAudio) chd->SetAudioFrames(uint64_t(frame), uint64_t(stored));
        disc->tracks.push_back(t);
        frame += stored + (kTrackPadding - stored % kTrackPadding) % kTrackPadding;
        cursor = t.end;
    }
    const int32_t zero = disc->tracks.front().start;
    for (Track& t : disc->tracks) t.start -= zero, t.end -= zero;
    for (Area& a : disc->areas) a.first -= zero;
    std::string problem = FinishDisc(*disc);
    if (!problem.empty()) return Fail(problem);
    out.disc = std::move(disc);
    out.drive = DriveConfig{};
    return true;
}

}  // namespace dravik::vdrive
