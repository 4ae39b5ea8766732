#include "support/nrg_writer.h"

namespace dravik::test {

namespace {

void Put(std::string& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += char(value >> (8 * i));
}

uint8_t Bcd(int v) { return uint8_t(v / 10 << 4 | v % 10); }

void Chunk(std::string& out, const char* name, const std::string& data) {
    out += std::string(name, 4);
    Put(out, data.size(), 4);
    out += data;
}

// A cue point: control and ADR 1, track and index in BCD, the address.
void CuePoint(std::string& out, bool lbaForm, uint8_t control, int track, int index, int32_t lba) {
    out += char(control << 4 | 1);
    out += char(track == 0xAA ? 0xAA : Bcd(track));
    out += char(Bcd(index));
    out += '\0';
    if (lbaForm) {
        Put(out, uint32_t(lba), 4);
    } else {
        const int32_t f = lba + 150;
        out += '\0';
        out += char(Bcd(f / 4500)), out += char(Bcd(f / 75 % 60)), out += char(Bcd(f % 75));
    }
}

}  // namespace

std::string WriteNrg(const std::vector<NrgTrackSpec>& tracks, NrgForm form, NrgRecording recording) {
    const bool wide = form == NrgForm::kNer5;
    const int offsetBytes = wide ? 8 : 4;
    std::string image;
    std::vector<uint64_t> starts;
    for (const NrgTrackSpec& t : tracks) {
        starts.push_back(image.size());
        image += t.data;
    }
    const uint64_t chain = image.size();
    int lastSession = tracks.empty() ? 0 : tracks.back().session;
    for (int session = 1; session <= lastSession; ++session) {
        std::vector<size_t> in;
        for (size_t i = 0; i < tracks.size(); ++i)
            if (tracks[i].session == session) in.push_back(i);
        if (in.empty()) continue;
        if (recording == NrgRecording::kDiscAtOnce) {
            std::string cues;
            const NrgTrackSpec& first = tracks[in.front()];
            CuePoint(cues, wide, first.audio ? 0 : 4, 0, 0, first.lba - first.pregap - 150);
            for (size_t i : in) {
                const NrgTrackSpec& t = tracks[i];
                const uint8_t control = t.audio ? 0 : 4;
                CuePoint(cues, wide, control, int(i) + 1, 0, t.lba - (i == in.front() && t.pregap == 0 ? 150 : t.pregap));
                CuePoint(cues, wide, control, int(i) + 1, 1, t.lba);
            }
            const NrgTrackSpec& last = tracks[in.back()];
            CuePoint(cues, wide, last.audio ? 0 : 4, 0xAA, 1,
                     last.lba + int32_t(last.data.size() / last.stride) - last.pregap);
            Chunk(image, wide ? "CUEX" : "CUES", cues);
            std::string dao;
            const size_t entry = wide ? 42 : 30;
            Put(dao, 22 + in.size() * entry, 4);
            dao += std::string(14, '\0');  // catalog number
            Put(dao, first.audio ? 0 : 1, 2);
            dao += char(in.front() + 1);
            dao += char(in.back() + 1);
            for (size_t i : in) {
                const NrgTrackSpec& t = tracks[i];
                dao += std::string(12, '\0');  // ISRC
                Put(dao, t.stride, 2);
                dao += char(t.mode);
                dao += std::string("\0\0\1", 3);
                Put(dao, starts[i], offsetBytes);
                Put(dao, starts[i] + uint64_t(t.pregap) * t.stride, offsetBytes);
                Put(dao, starts[i] + t.data.size(), offsetBytes);
            }
            Chunk(image, wide ? "DAOX" : "DAOI", dao);
        } else {
            std::string list;
            for (size_t i : in) {
                const NrgTrackSpec& t = tracks[i];
                Put(list, starts[i], offsetBytes);
                Put(list, t.data.size(), offsetBytes);
                Put(list, t.mode, 4);
                Put(list, uint32_t(t.lba), 4);
                Put(list, 0, wide ? 8 : 4);
            }
            Chunk(image, wide ? "ETN2" : "ETNF", list);
        }
        std::string count;
        Put(count, in.size(), 4);
        Chunk(image, "SINF", count);
    }
    Chunk(image, "MTYP", std::string("\0\0\0\1", 4));
    Chunk(image, "END!", "");
    if (wide) {
        image += "NER5";
        Put(image, chain, 8);
    } else {
        image += "NERO";
        Put(image, chain, 4);
    }
    return image;
}

}  // namespace dravik::test
