#include "program/iso_writer/iso_structures_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/byte_order.h"

namespace dravik::iso_writer {

namespace {

constexpr std::size_t kMaxRecordBytes = 255;
constexpr std::size_t kRecordIdAt = 33;
constexpr std::size_t kDateBytes = 17;

void PutOptional(Bytes& out, std::size_t at, std::size_t width, const std::optional<std::string>& text) {
    if (text) PutPadded(out.data() + at, width, *text);
}

void PutRaw(Bytes& out, std::size_t at, std::size_t width, std::string_view bytes) {
    std::memcpy(out.data() + at, bytes.data(), std::min(width, bytes.size()));
}

}  // namespace

void PutBoth16(std::uint8_t* at, std::uint16_t value) {
    bytes::PutLe16(at, value);
    bytes::PutBe16(at + 2, value);
}

void PutBoth32(std::uint8_t* at, std::uint32_t value) {
    bytes::PutLe32(at, value);
    bytes::PutBe32(at + 4, value);
}

void PutPadded(std::uint8_t* at, std::size_t width, std::string_view text) {
    std::memset(at, ' ', width);
    std::memcpy(at, text.data(), std::min(width, text.size()));
}

Bytes DirectoryRecord(const RecordFields& fields, RecordLayout layout) {
    const std::size_t idLength = fields.id.size();
    // An even identifier length is followed by a padding byte, so that the
    // system use area starts on an even offset.
    const std::size_t pad = idLength % 2 == 0 ? 1 : 0;
    const std::size_t length = kRecordIdAt + idLength + pad + fields.systemUse.size();
    if (length > kMaxRecordBytes) throw std::length_error("directory record too long");
    Bytes out(length, 0);
    out[0] = static_cast<std::uint8_t>(length);
    PutBoth32(&out[2], fields.extent);
    PutBoth32(&out[10], fields.length);
    if (layout == RecordLayout::kHighSierra) {
        std::memcpy(&out[18], fields.date.data(), 6);
        out[24] = fields.flags;
    } else {
        std::memcpy(&out[18], fields.date.data(), 7);
        out[25] = fields.flags;
    }
    PutBoth16(&out[28], fields.volumeSequence);
    out[32] = static_cast<std::uint8_t>(idLength);
    std::memcpy(&out[kRecordIdAt], fields.id.data(), idLength);
    std::copy(fields.systemUse.begin(), fields.systemUse.end(), out.begin() + kRecordIdAt + idLength + pad);
    return out;
}

Bytes PackBlock(const std::vector<Bytes>& records) {
    Bytes out;
    for (const Bytes& record : records) out.insert(out.end(), record.begin(), record.end());
    if (out.size() > kBlockBytes) throw std::length_error("records do not fit one block");
    out.resize(kBlockBytes, 0);
    return out;
}

Bytes VolumeDescriptor(const VolumeFields& fields) {
    Bytes out(kBlockBytes, 0);
    out[0] = fields.type;
    std::memcpy(&out[1], "CD001", 5);
    out[6] = 1;
    PutPadded(&out[8], 32, fields.systemId);
    PutPadded(&out[40], 32, fields.volumeId);
    PutBoth32(&out[80], fields.volumeSpace);
    PutRaw(out, 88, 32, fields.escapes);
    PutBoth16(&out[120], fields.volumeSetSize);
    PutBoth16(&out[124], fields.volumeSequence);
    PutBoth16(&out[128], fields.blockBytes);
    PutBoth32(&out[132], fields.pathTableBytes);
    bytes::PutLe32(&out[140], fields.pathTableL);
    bytes::PutBe32(&out[148], fields.pathTableM);
    PutRaw(out, 156, 34, std::string_view(reinterpret_cast<const char*>(fields.rootRecord.data()),
                                         fields.rootRecord.size()));
    PutOptional(out, 190, 128, fields.volumeSetId);
    PutOptional(out, 318, 128, fields.publisherId);
    PutOptional(out, 446, 128, fields.preparerId);
    PutOptional(out, 574, 128, fields.applicationId);
    PutOptional(out, 702, 37, fields.copyrightFile);
    PutOptional(out, 739, 37, fields.abstractFile);
    PutOptional(out, 776, 37, fields.bibliographicFile);
    PutRaw(out, 813, kDateBytes, fields.created);
    PutRaw(out, 830, kDateBytes, fields.modified);
    PutRaw(out, 847, kDateBytes, fields.expires);
    PutRaw(out, 864, kDateBytes, fields.effective);
    out[881] = fields.fileStructureVersion;
    return out;
}

Bytes SetTerminator() {
    Bytes out(kBlockBytes, 0);
    out[0] = 255;
    std::memcpy(&out[1], "CD001", 5);
    out[6] = 1;
    return out;
}

Bytes PathTable(const std::vector<PathTableEntry>& entries, bool bigEndian) {
    Bytes out;
    for (const PathTableEntry& e : entries) {
        // An odd identifier length is followed by a padding byte.
        Bytes r(8 + e.id.size() + e.id.size() % 2, 0);
        r[0] = static_cast<std::uint8_t>(e.id.size());
        if (bigEndian) {
            bytes::PutBe32(&r[2], e.extent);
            bytes::PutBe16(&r[6], e.parent);
        } else {
            bytes::PutLe32(&r[2], e.extent);
            bytes::PutLe16(&r[6], e.parent);
        }
        std::memcpy(&r[8], e.id.data(), e.id.size());
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

}  // namespace dravik::iso_writer
