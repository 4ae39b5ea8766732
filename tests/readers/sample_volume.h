// A small ISO 9660 volume laid out on a DiscBuilder track, which tests then
// damage or change. Relative to the track start:
//   16 primary descriptor, 17 terminator (or the Joliet descriptor and 18
//   the terminator), 28 path table L, 29 path table M,
//   20 root: DIRA/ (21), FILE1.TXT;1 (block 30, 5000 bytes)
//   21 DIRA: FILE2.TXT;1 (33, 100 bytes), SUBB/ (22)
//   22 SUBB: FILE3.TXT;1 (34, 10 bytes)
//   with Joliet: 25 root, 26 DIRA, 27 SUBB with the names in lower case,
//   path tables at 23 (L) and 24 (M).
#pragma once

#include <cstdint>
#include <string>

#include "iso_layout.h"
#include "support/disc_builder.h"

namespace dravik::test {

struct SampleVolume {
    int32_t start = 0;         // the track's first block
    int32_t volumeSpace = 300;
    int shift = 0;             // everything but the descriptors lies this many blocks later than recorded
    bool joliet = false;
    bool absolute = true;      // recorded locations include the track start

    int32_t At(int32_t relative) const { return (absolute ? start : 0) + relative; }
    int32_t Block(int32_t relative) const { return start + relative + shift; }

    void Write(DiscBuilder& b, int track) const {
        using namespace iso;
        VolumeFields fields;
        fields.volumeSpace = static_cast<uint32_t>(volumeSpace);
        fields.rootExtent = static_cast<uint32_t>(At(20));
        fields.pathTableL = static_cast<uint32_t>(At(28));
        fields.pathTableM = static_cast<uint32_t>(At(29));
        const Bytes table = PathTable({{uint32_t(At(20)), 1, std::string(1, '\0')}, {uint32_t(At(21)), 1, "DIRA"}, {uint32_t(At(22)), 2, "SUBB"}});
        fields.pathTableSize = static_cast<uint32_t>(table.size());
        b.WriteBlock(track, 16, PrimaryDescriptor(fields));
        b.WriteBlock(track, joliet ? 18 : 17, Terminator());
        b.WriteBlock(track, 28 + shift, table);
        b.WriteBlock(track, 29 + shift,
                     PathTable({{uint32_t(At(20)), 1, std::string(1, '\0')}, {uint32_t(At(21)), 1, "DIRA"}, {uint32_t(At(22)), 2, "SUBB"}}, true));
        b.WriteBlock(track, 20 + shift,
                     Sector({SelfAndParent(At(20), 2048, At(20), 2048), DirectoryRecord({uint32_t(At(21)), 2048, kDirectory, "DIRA", {}}),
                             DirectoryRecord({uint32_t(At(30)), 5000, 0, "FILE1.TXT;1", {}})}));
        b.WriteBlock(track, 21 + shift,
                     Sector({SelfAndParent(At(21), 2048, At(20), 2048), DirectoryRecord({uint32_t(At(33)), 100, 0, "FILE2.TXT;1", {}}),
                             DirectoryRecord({uint32_t(At(22)), 2048, kDirectory, "SUBB", {}})}));
        b.WriteBlock(track, 22 + shift,
                     Sector({SelfAndParent(At(22), 2048, At(21), 2048), DirectoryRecord({uint32_t(At(34)), 10, 0, "FILE3.TXT;1", {}})}));
        if (!joliet) return;
        VolumeFields svd = fields;
        svd.rootExtent = static_cast<uint32_t>(At(25));
        svd.pathTableL = static_cast<uint32_t>(At(23));
        svd.pathTableM = static_cast<uint32_t>(At(24));
        const Bytes jtable = PathTable({{uint32_t(At(25)), 1, std::string(1, '\0')}, {uint32_t(At(26)), 1, Ucs2("dira")}, {uint32_t(At(27)), 2, Ucs2("subb")}});
        svd.pathTableSize = static_cast<uint32_t>(jtable.size());
        b.WriteBlock(track, 17, JolietDescriptor(svd));
        b.WriteBlock(track, 23 + shift, jtable);
        b.WriteBlock(track, 25 + shift,
                     Sector({SelfAndParent(At(25), 2048, At(25), 2048), DirectoryRecord({uint32_t(At(26)), 2048, kDirectory, Ucs2("dira"), {}}),
                             DirectoryRecord({uint32_t(At(30)), 5000, 0, Ucs2("file1.txt;1"), {}})}));
        b.WriteBlock(track, 26 + shift,
                     Sector({SelfAndParent(At(26), 2048, At(25), 2048), DirectoryRecord({uint32_t(At(33)), 100, 0, Ucs2("file2.txt;1"), {}}),
                             DirectoryRecord({uint32_t(At(27)), 2048, kDirectory, Ucs2("subb"), {}})}));
        b.WriteBlock(track, 27 + shift,
                     Sector({SelfAndParent(At(27), 2048, At(26), 2048), DirectoryRecord({uint32_t(At(34)), 10, 0, Ucs2("file3.txt;1"), {}})}));
    }
};

}  // namespace dravik::test
