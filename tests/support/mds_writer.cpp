#include "support/mds_writer.h"

namespace dravik::test {

namespace {

void PutLe(std::string& out, size_t at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + size_t(i)] = char(value >> (8 * i));
}

}  // namespace

std::string WriteMds(const std::vector<MdsTrackSpec>& tracks, const std::string& mdfName) {
    const int sessions = tracks.empty() ? 0 : tracks.back().session;
    // Layout: header, session blocks, per session three points (A0-A2)
    // and its tracks, one extra block per track, one file name block, the name.
    const size_t sessionAt = 88, entriesAt = sessionAt + size_t(sessions) * 24;
    const size_t entryCount = size_t(sessions) * 3 + tracks.size();
    const size_t extraAt = entriesAt + entryCount * 80, nameBlockAt = extraAt + tracks.size() * 8;
    const size_t nameAt = nameBlockAt + 16;
    const std::string name = mdfName.empty() ? "*.mdf" : mdfName;
    std::string mds(nameAt + name.size() + 1, '\0');
    mds.replace(0, 16, "MEDIA DESCRIPTOR");
    mds[16] = 1, mds[17] = 3;
    PutLe(mds, 18, 0, 2);  // CD-ROM
    PutLe(mds, 20, uint64_t(sessions), 2);
    PutLe(mds, 80, sessionAt, 4);
    size_t entry = entriesAt;
    uint64_t fileOffset = 0;
    for (int s = 1; s <= sessions; ++s) {
        std::vector<size_t> in;
        for (size_t i = 0; i < tracks.size(); ++i)
            if (tracks[i].session == s) in.push_back(i);
        const size_t block = sessionAt + size_t(s - 1) * 24;
        const MdsTrackSpec& first = tracks[in.front()];
        const MdsTrackSpec& last = tracks[in.back()];
        const int32_t lastLength = int32_t(last.data.size() / last.stride) - (in.back() == in.front() ? 0 : last.pregap);
        PutLe(mds, block, uint32_t(first.lba - 150), 4);
        PutLe(mds, block + 4, uint32_t(last.lba + lastLength), 4);
        PutLe(mds, block + 8, uint64_t(s), 2);
        mds[block + 10] = char(3 + in.size());
        mds[block + 11] = 3;
        PutLe(mds, block + 12, in.front() + 1, 2);
        PutLe(mds, block + 14, in.back() + 1, 2);
        PutLe(mds, block + 20, entry, 4);
        for (uint8_t point : {0xA0, 0xA1, 0xA2}) {
            mds[entry + 2] = 0x14;
            mds[entry + 4] = char(point);
            entry += 80;
        }
        for (size_t i : in) {
            const MdsTrackSpec& t = tracks[i];
            const bool storedGap = i != in.front();
            mds[entry] = char(t.mode);
            mds[entry + 1] = char(t.subchannel ? 8 : 0);
            mds[entry + 2] = char(t.mode == 0xA9 ? 0x10 : 0x14);
            mds[entry + 4] = char(i + 1);
            const int32_t f = t.lba + 150;
            mds[entry + 9] = char(f / 4500), mds[entry + 10] = char(f / 75 % 60), mds[entry + 11] = char(f % 75);
            PutLe(mds, entry + 12, extraAt + i * 8, 4);
            PutLe(mds, entry + 16, t.stride, 2);
            PutLe(mds, entry + 36, uint32_t(t.lba), 4);
            PutLe(mds, entry + 40, fileOffset, 8);
            PutLe(mds, entry + 48, 1, 4);
            PutLe(mds, entry + 52, nameBlockAt, 4);
            PutLe(mds, extraAt + i * 8, uint32_t(t.pregap), 4);
            PutLe(mds, extraAt + i * 8 + 4, t.data.size() / t.stride - (storedGap ? size_t(t.pregap) : 0), 4);
            fileOffset += t.data.size();
            entry += 80;
        }
    }
    PutLe(mds, nameBlockAt, nameAt, 4);
    mds.replace(nameAt, name.size(), name);
    return mds;
}

}  // namespace dravik::test
