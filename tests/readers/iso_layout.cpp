#include "iso_layout.h"

#include <algorithm>
#include <cstring>

#include "program/iso_writer/iso_structures_writer.h"

namespace dravik::test::iso {

namespace {

iso_writer::RecordFields Fields(const iso::Record& record) {
    iso_writer::RecordFields fields;
    fields.extent = record.extent;
    fields.length = record.length;
    fields.flags = record.flags;
    fields.id = record.id;
    std::memcpy(fields.date.data(), kTestDate, sizeof kTestDate);
    fields.systemUse = record.systemUse;
    return fields;
}

Bytes Descriptor(std::uint8_t type, const VolumeFields& fields) {
    iso_writer::VolumeFields volume;
    volume.type = type;
    volume.systemId = fields.systemId;
    volume.volumeId = fields.volumeId;
    volume.volumeSpace = fields.volumeSpace;
    volume.pathTableBytes = fields.pathTableSize;
    volume.pathTableL = fields.pathTableL;
    volume.pathTableM = fields.pathTableM;
    volume.rootRecord = DirectoryRecord({fields.rootExtent, fields.rootLength, kDirectory, std::string(1, '\0'), {}});
    return iso_writer::VolumeDescriptor(volume);
}

}  // namespace

Bytes DirectoryRecord(const iso::Record& record) { return iso_writer::DirectoryRecord(Fields(record)); }

Bytes HighSierraRecord(const iso::Record& record) {
    return iso_writer::DirectoryRecord(Fields(record), iso_writer::RecordLayout::kHighSierra);
}

Bytes SelfAndParent(std::uint32_t self, std::uint32_t selfLength, std::uint32_t parent, std::uint32_t parentLength) {
    Bytes out = DirectoryRecord({self, selfLength, kDirectory, std::string(1, '\0'), {}});
    Bytes up = DirectoryRecord({parent, parentLength, kDirectory, std::string(1, '\1'), {}});
    out.insert(out.end(), up.begin(), up.end());
    return out;
}

Bytes Sector(const std::vector<Bytes>& records) { return iso_writer::PackBlock(records); }

Bytes PrimaryDescriptor(const VolumeFields& fields) { return Descriptor(1, fields); }

Bytes JolietDescriptor(const VolumeFields& fields, const std::string& escape) {
    Bytes out = Descriptor(2, fields);
    // The volume identifier as UCS-2, padded with UCS-2 spaces.
    std::memset(out.data() + 40, 0, 32);
    const std::string name = Ucs2(fields.volumeId.substr(0, 16));
    std::memcpy(out.data() + 40, name.data(), name.size());
    for (std::size_t i = name.size(); i + 1 < 32; i += 2) out[40 + i + 1] = ' ';
    std::memcpy(out.data() + 88, escape.data(), std::min<std::size_t>(3, escape.size()));
    return out;
}

Bytes Terminator() { return iso_writer::SetTerminator(); }

// High Sierra's descriptor is laid out differently from ISO 9660's: its own
// block number first, the "CDROM" signature at byte 9.
Bytes HighSierraDescriptor(const VolumeFields& fields) {
    Bytes out(2048, 0);
    iso_writer::PutBoth32(out.data(), 16);
    out[8] = 1;
    std::memcpy(out.data() + 9, "CDROM", 5);
    out[14] = 1;
    iso_writer::PutPadded(out.data() + 16, 32, fields.systemId);
    iso_writer::PutPadded(out.data() + 48, 32, fields.volumeId);
    iso_writer::PutBoth32(out.data() + 88, fields.volumeSpace);
    Bytes root = HighSierraRecord({fields.rootExtent, fields.rootLength, kDirectory, std::string(1, '\0'), {}});
    std::memcpy(out.data() + 180, root.data(), 34);
    return out;
}

Bytes PathTable(const std::vector<PathEntry>& entries, bool bigEndian) {
    std::vector<iso_writer::PathTableEntry> table;
    for (const PathEntry& e : entries) table.push_back({e.extent, e.parent, e.id});
    return iso_writer::PathTable(table, bigEndian);
}

std::string Ucs2(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += '\0';
        out += c;
    }
    return out;
}

Bytes NameEntry(const std::string& name, std::uint8_t version) {
    Bytes out{'N', 'M', static_cast<std::uint8_t>(5 + name.size()), version, 0};
    out.insert(out.end(), name.begin(), name.end());
    return out;
}

}  // namespace dravik::test::iso
