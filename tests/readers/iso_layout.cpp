#include "iso_layout.h"

#include <cstring>
#include <stdexcept>

namespace dravik::test::iso {

namespace {

void Both32(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    for (int i = 0; i < 4; ++i) out[at + 4 + i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
}
void Le32(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void Be32(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
}
void Text(Bytes& out, std::size_t at, const std::string& text, std::size_t width) {
    std::memset(out.data() + at, ' ', width);
    std::memcpy(out.data() + at, text.data(), std::min(width, text.size()));
}

Bytes RecordBytes(const iso::Record& record, std::size_t flagsAt) {
    const std::size_t idLength = record.id.size();
    const std::size_t pad = idLength % 2 == 0 ? 1 : 0;
    const std::size_t length = 33 + idLength + pad + record.systemUse.size();
    if (length > 255) throw std::length_error("directory record too long");
    Bytes out(length, 0);
    out[0] = static_cast<std::uint8_t>(length);
    Both32(out, 2, record.extent);
    Both32(out, 10, record.length);
    std::memcpy(out.data() + 18, kTestDate, 7);
    out[flagsAt] = record.flags;
    out[28] = 1;  // volume sequence number
    out[32] = static_cast<std::uint8_t>(idLength);
    std::memcpy(out.data() + 33, record.id.data(), idLength);
    if (!record.systemUse.empty())
        std::memcpy(out.data() + 33 + idLength + pad, record.systemUse.data(), record.systemUse.size());
    return out;
}

Bytes Descriptor(std::uint8_t type, const VolumeFields& fields) {
    Bytes out(2048, 0);
    out[0] = type;
    std::memcpy(out.data() + 1, "CD001", 5);
    out[6] = 1;
    Text(out, 8, fields.systemId, 32);
    Text(out, 40, fields.volumeId, 32);
    Both32(out, 80, fields.volumeSpace);
    Both32(out, 132, fields.pathTableSize);
    Le32(out, 140, fields.pathTableL);
    Be32(out, 148, fields.pathTableM);
    Bytes root = DirectoryRecord({fields.rootExtent, fields.rootLength, kDirectory, std::string(1, '\0'), {}});
    std::memcpy(out.data() + 156, root.data(), root.size());
    return out;
}

}  // namespace

Bytes DirectoryRecord(const iso::Record& record) { return RecordBytes(record, 25); }

Bytes HighSierraRecord(const iso::Record& record) {
    Bytes out = RecordBytes(record, 24);
    out[25] = 0;
    return out;
}

Bytes SelfAndParent(std::uint32_t self, std::uint32_t selfLength, std::uint32_t parent, std::uint32_t parentLength) {
    Bytes out = DirectoryRecord({self, selfLength, kDirectory, std::string(1, '\0'), {}});
    Bytes up = DirectoryRecord({parent, parentLength, kDirectory, std::string(1, '\1'), {}});
    out.insert(out.end(), up.begin(), up.end());
    return out;
}

Bytes Sector(const std::vector<Bytes>& records) {
    Bytes out;
    for (const Bytes& r : records) out.insert(out.end(), r.begin(), r.end());
    if (out.size() > 2048) throw std::length_error("records do not fit one sector");
    out.resize(2048, 0);
    return out;
}

Bytes PrimaryDescriptor(const VolumeFields& fields) { return Descriptor(1, fields); }

Bytes JolietDescriptor(const VolumeFields& fields, const std::string& escape) {
    Bytes out = Descriptor(2, fields);
    std::memset(out.data() + 40, 0, 32);
    const std::string name = Ucs2(fields.volumeId.substr(0, 16));
    std::memcpy(out.data() + 40, name.data(), name.size());
    for (std::size_t i = name.size(); i + 1 < 32; i += 2) out[40 + i + 1] = ' ';
    std::memcpy(out.data() + 88, escape.data(), std::min<std::size_t>(3, escape.size()));
    return out;
}

Bytes Terminator() {
    Bytes out(2048, 0);
    out[0] = 255;
    std::memcpy(out.data() + 1, "CD001", 5);
    out[6] = 1;
    return out;
}

Bytes HighSierraDescriptor(const VolumeFields& fields) {
    Bytes out(2048, 0);
    Both32(out, 0, 16);
    out[8] = 1;
    std::memcpy(out.data() + 9, "CDROM", 5);
    out[14] = 1;
    Text(out, 16, fields.systemId, 32);
    Text(out, 48, fields.volumeId, 32);
    Both32(out, 88, fields.volumeSpace);
    Bytes root = HighSierraRecord({fields.rootExtent, fields.rootLength, kDirectory, std::string(1, '\0'), {}});
    std::memcpy(out.data() + 180, root.data(), 34);
    return out;
}

Bytes PathTable(const std::vector<PathEntry>& entries, bool bigEndian) {
    Bytes out;
    for (const PathEntry& e : entries) {
        Bytes r(8 + e.id.size() + e.id.size() % 2, 0);
        r[0] = static_cast<std::uint8_t>(e.id.size());
        if (bigEndian) {
            Be32(r, 2, e.extent);
            r[6] = static_cast<std::uint8_t>(e.parent >> 8), r[7] = static_cast<std::uint8_t>(e.parent);
        } else {
            Le32(r, 2, e.extent);
            r[6] = static_cast<std::uint8_t>(e.parent), r[7] = static_cast<std::uint8_t>(e.parent >> 8);
        }
        std::memcpy(r.data() + 8, e.id.data(), e.id.size());
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
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
