// Reading a version 5 CHD. The header (124 bytes, big-endian):
//   0 "MComprHD", 8 header length, 12 version, 16 four codec tags,
//   32 logical bytes, 40 map offset, 48 metadata offset, 56 hunk bytes,
//   60 unit bytes, then three SHA-1 sums.
// Without codecs the map is one 4-byte hunk number per hunk (0: zeros, or
// the parent's bytes when the image has a parent).
// With codecs it is a 16-byte header (packed length, first hunk's offset
// in 48 bits, CRC-16 of the unpacked map, bit widths of lengths, copies
// and parent references) and a bit stream: a Huffman table of 16 kinds,
// the kind of each hunk (with run-length codes), then each hunk's length,
// offset or copied hunk, and CRC.
//
// Every count and offset is checked against the file before use; a hunk
// that cannot be unpacked, or whose CRC does not match, fails its read.
#include "vdrive/chd_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/byte_order.h"
#include "vdrive/chd_codecs.h"
#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

namespace {

using bytes::GetBe16;
using bytes::GetBe32;
using bytes::GetBe64;

constexpr size_t kHeaderBytes = 124;
constexpr uint64_t kMaxHunks = 1u << 24;
constexpr uint32_t kMaxHunkBytes = 1u << 20;
constexpr size_t kMaxMetadataEntries = 256;
constexpr uint32_t kMaxMetadataBytes = 1u << 16;
// The SHA-1 sums of the header: the image's own (which its children
// name) and its parent's (zeros without a parent).
constexpr size_t kSha1At = 84;
constexpr size_t kParentSha1At = 104;
constexpr size_t kSha1Bytes = 20;
// A parent may have a parent of its own, a few levels deep; a folder is
// searched among this many files at most.
constexpr int kMaxParentDepth = 4;
constexpr int kMaxFolderFiles = 4096;

// Hunk kinds of the map, after the codecs 0-3.
enum : uint8_t {
    kHunkRaw = 4,  // stored raw
    kHunkCopy = 5,  // a copy of an earlier hunk
    kHunkParent = 6,
    kHunkRleSmall = 7,
    kHunkRleLarge = 8,
    kHunkCopy0 = 9,
    kHunkCopy1 = 10,
    kHunkParentSelf = 11,
    kHunkParent0 = 12,
    kHunkParent1 = 13,
};

constexpr uint32_t Tag(const char (&t)[5]) {
    return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
}

std::string TagText(uint32_t tag) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char(tag >> shift);
        text += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}

// Bits read most significant first; reading past the end gives zeros and
// marks the reader overrun.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}
    uint32_t Peek(int count) const {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            const size_t bit = position_ + size_t(i);
            const uint32_t b = bit / 8 < length_ ? (data_[bit / 8] >> (7 - bit % 8)) & 1 : 0;
            value = value << 1 | b;
        }
        return value;
    }
    void Skip(int count) {
        position_ += size_t(count);
        if (position_ > length_ * 8) overrun_ = true;
    }
    uint64_t Read(int count) {
        uint64_t value = 0;
        for (int done = 0; done < count; done += 16) {
            const int n = std::min(16, count - done);
            value = value << n | Peek(n);
            Skip(n);
        }
        return value;
    }
    bool Overrun() const { return overrun_; }

private:
    const uint8_t* data_;
    size_t length_;
    size_t position_ = 0;
    bool overrun_ = false;
};

// The map's Huffman code: 16 symbols, codes of at most 8 bits, given as
// code lengths (run-length coded) and numbered from the longest codes down.
class MapHuffman {
public:
    bool Import(BitReader& bits) {
        int lengths[kSymbols] = {};
        for (int symbol = 0; symbol < kSymbols;) {
            int length = int(bits.Read(4));
            if (length != 1) {
                lengths[symbol++] = length;
                continue;
            }
            length = int(bits.Read(4));
            if (length == 1) {
                lengths[symbol++] = 1;
                continue;
            }
            const int repeat = int(bits.Read(4)) + 3;
            if (symbol + repeat > kSymbols) return false;
            for (int i = 0; i < repeat; ++i) lengths[symbol++] = length;
        }
        if (bits.Overrun()) return false;
        // The first code of each length, from the longest.
        uint32_t start[33] = {};
        for (int symbol = 0; symbol < kSymbols; ++symbol) {
            if (lengths[symbol] > kMaxBits) return false;
            start[lengths[symbol]]++;
        }
        uint32_t current = 0;
        for (int length = 32; length > 0; --length) {
            const uint32_t next = (current + start[length]) >> 1;
            if (length != 1 && next * 2 != current + start[length]) return false;
            start[length] = current;
            current = next;
        }
        std::fill(std::begin(lookup_), std::end(lookup_), uint16_t(0));
        for (int symbol = 0; symbol < kSymbols; ++symbol) {
            const int length = lengths[symbol];
            if (length == 0) continue;
            const uint32_t code = start[length]++;
            const int shift = kMaxBits - length;
            if ((code + 1) << shift > (1u << kMaxBits)) return false;
            for (uint32_t i = code << shift; i < (code + 1) << shift; ++i) lookup_[i] = uint16_t(symbol << 4 | length);
        }
        return true;
    }
    int Decode(BitReader& bits) const {
        const uint16_t entry = lookup_[bits.Peek(kMaxBits)];
        if (entry == 0) {
            bits.Skip(kMaxBits + 1);  // no code starts so: the stream is damaged
            return 0;
        }
        bits.Skip(entry & 0xF);
        return entry >> 4;
    }

private:
    static constexpr int kSymbols = 16;
    static constexpr int kMaxBits = 8;
    uint16_t lookup_[1 << kMaxBits] = {};
};

}  // namespace

uint16_t ChdCrc16(const uint8_t* data, size_t length) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= uint16_t(data[i] << 8);
        for (int b = 0; b < 8; ++b) crc = uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::shared_ptr<ChdFile> ChdFile::Open(const std::string& path, std::string& why, int depth) {
    auto file = ImageFile::Open(path, why);
    if (!file) return nullptr;
    uint8_t h[kHeaderBytes];
    if (file->Size() < kHeaderBytes || !file->ReadAt(0, h, sizeof h) || std::memcmp(h, "MComprHD", 8) != 0) {
        why = "not a CHD image (no MComprHD header)";
        return nullptr;
    }
    if (GetBe32(h + 12) != 5) {
        why = "CHD version " + std::to_string(GetBe32(h + 12)) + " is not supported (only version 5)";
        return nullptr;
    }
    if (GetBe32(h + 8) != kHeaderBytes) {
        why = "the CHD header has the wrong length";
        return nullptr;
    }
    std::shared_ptr<ChdFile> chd(new ChdFile(path, file, GetBe64(h + 32)));
    for (int i = 0; i < 4; ++i) {
        const uint32_t codec = chd->codecs_[i] = GetBe32(h + 16 + 4 * i);
        if (codec != 0 && codec != Tag("zlib") && codec != Tag("lzma") && codec != Tag("cdzl") && codec != Tag("cdlz") &&
            codec != Tag("cdfl")) {
            why = "the CHD codec '" + TagText(codec) + "' is not supported";
            return nullptr;
        }
    }
    chd->hunkBytes_ = GetBe32(h + 56);
    chd->unitBytes_ = GetBe32(h + 60);
    if (chd->hunkBytes_ == 0 || chd->hunkBytes_ > kMaxHunkBytes || chd->unitBytes_ == 0 ||
        chd->hunkBytes_ % chd->unitBytes_ != 0) {
        why = "the CHD hunk size is out of range";
        return nullptr;
    }
    const uint64_t hunks = (chd->Size() + chd->hunkBytes_ - 1) / chd->hunkBytes_;
    if (hunks > kMaxHunks) {
        why = "the CHD image is too large";
        return nullptr;
    }
    chd->hunks_.resize(size_t(hunks));
    if (!chd->ReadMap(GetBe64(h + 40), why) || !chd->ReadMetadata(GetBe64(h + 48), why)) return nullptr;
    const uint8_t* parentSha1 = h + kParentSha1At;
    if (std::any_of(parentSha1, parentSha1 + kSha1Bytes, [](uint8_t b) { return b != 0; }) &&
        !chd->OpenParent(parentSha1, depth, why))
        return nullptr;
    return chd;
}

bool ChdFile::OpenParent(const uint8_t* parentSha1, int depth, std::string& why) {
    std::string wanted;
    for (size_t i = 0; i < kSha1Bytes; ++i) {
        static const char kHex[] = "0123456789abcdef";
        wanted += kHex[parentSha1[i] >> 4];
        wanted += kHex[parentSha1[i] & 15];
    }
    if (depth >= kMaxParentDepth) {
        why = "the CHD image's parents go more than " + std::to_string(kMaxParentDepth) + " levels deep";
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path own = fs::weakly_canonical(Path(), error);
    fs::path folder = fs::path(Path()).parent_path();
    if (folder.empty()) folder = ".";
    int looked = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end && looked < kMaxFolderFiles;
         it.increment(error), ++looked) {
        const fs::path candidate = it->path();
        std::string extension = candidate.extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (extension != ".chd" || fs::weakly_canonical(candidate, error) == own) continue;
        std::string ignored;
        auto file = ImageFile::Open(candidate.string(), ignored);
        uint8_t header[kHeaderBytes];
        if (!file || file->Size() < kHeaderBytes || !file->ReadAt(0, header, sizeof header) ||
            std::memcmp(header, "MComprHD", 8) != 0 || std::memcmp(header + kSha1At, parentSha1, kSha1Bytes) != 0)
            continue;
        std::string parentWhy;
        parent_ = Open(candidate.string(), parentWhy, depth + 1);
        if (!parent_) {
            why = "its parent image " + candidate.filename().string() + " cannot be read: " + parentWhy;
            return false;
        }
        if (parent_->unitBytes_ != unitBytes_) {
            why = "its parent image " + candidate.filename().string() + " holds units of another size";
            return false;
        }
        return true;
    }
    why = "the CHD image was made as the difference to a parent image (SHA-1 " + wanted +
          "), which is not in its folder";
    return false;
}

bool ChdFile::ReadMap(uint64_t mapOffset, std::string& why) {
    const uint64_t hunks = hunks_.size();
    if (codecs_[0] == 0) {
        // Uncompressed: one hunk number a hunk.
        if (mapOffset > file_->Size() || hunks * 4 > file_->Size() - mapOffset) {
            why = "the CHD hunk map lies outside the file";
            return false;
        }
        std::vector<uint8_t> map(size_t(hunks * 4));
        if (!file_->ReadAt(mapOffset, map.data(), map.size())) {
            why = "the CHD hunk map cannot be read";
            return false;
        }
        for (uint64_t n = 0; n < hunks; ++n) {
            Hunk& hunk = hunks_[n];
            const uint64_t block = GetBe32(&map[n * 4]);
            hunk.kind = block == 0 ? kHunkCopy : kHunkRaw;  // block 0 (the header) stands for zeros
            hunk.offset = block == 0 ? UINT64_MAX : block * hunkBytes_;
            hunk.length = hunkBytes_;
        }
        return true;
    }
    uint8_t h[16];
    if (mapOffset > file_->Size() || file_->Size() - mapOffset < sizeof h || !file_->ReadAt(mapOffset, h, sizeof h)) {
        why = "the CHD hunk map lies outside the file";
        return false;
    }
    const uint32_t packed = GetBe32(h);
    uint64_t offset = uint64_t(GetBe16(h + 4)) << 32 | GetBe32(h + 6);
    const uint16_t mapCrc = GetBe16(h + 10);
    const int lengthBits = h[12], selfBits = h[13], parentBits = h[14];
    if (packed > file_->Size() - mapOffset - sizeof h || lengthBits > 32 || selfBits > 48 || parentBits > 48) {
        why = "the CHD hunk map header is damaged";
        return false;
    }
    std::vector<uint8_t> data(packed);
    if (!file_->ReadAt(mapOffset + sizeof h, data.data(), data.size())) {
        why = "the CHD hunk map cannot be read";
        return false;
    }
    BitReader bits(data.data(), data.size());
    MapHuffman huffman;
    if (!huffman.Import(bits)) {
        why = "the CHD hunk map's code table is damaged";
        return false;
    }
    // The kinds, with runs of the kind before coded short.
    uint8_t last = 0;
    uint64_t repeat = 0;
    for (uint64_t n = 0; n < hunks; ++n) {
        if (repeat > 0) {
            hunks_[n].kind = last;
            --repeat;
            continue;
        }
        const int kind = huffman.Decode(bits);
        if (kind == kHunkRleSmall) {
            hunks_[n].kind = last;
            repeat = 2 + uint64_t(huffman.Decode(bits));
        } else if (kind == kHunkRleLarge) {
            hunks_[n].kind = last;
            repeat = 2 + 16 + (uint64_t(huffman.Decode(bits)) << 4);
            repeat += uint64_t(huffman.Decode(bits));
        } else {
            hunks_[n].kind = last = uint8_t(kind);
        }
        if (bits.Overrun()) break;
    }
    // Lengths, offsets and CRCs; the unpacked map's CRC covers 12 bytes a
    // hunk (kind, 24-bit length, 48-bit offset, CRC).
    std::vector<uint8_t> raw(size_t(hunks * 12));
    uint64_t lastSelf = 0, lastParent = 0;
    for (uint64_t n = 0; n < hunks && !bits.Overrun(); ++n) {
        Hunk& hunk = hunks_[n];
        hunk.offset = offset;
        switch (hunk.kind) {
        case 0: case 1: case 2: case 3:
            hunk.length = uint32_t(bits.Read(lengthBits));
            offset += hunk.length;
            hunk.crc = uint16_t(bits.Read(16));
            break;
        case kHunkRaw:
            hunk.length = hunkBytes_;
            offset += hunk.length;
            hunk.crc = uint16_t(bits.Read(16));
            break;
        case kHunkCopy: hunk.offset = lastSelf = bits.Read(selfBits); break;
        case kHunkParent: hunk.offset = lastParent = bits.Read(parentBits); break;
        case kHunkCopy1: ++lastSelf; [[fallthrough]];
        case kHunkCopy0:
            hunk.kind = kHunkCopy;
            hunk.offset = lastSelf;
            break;
        case kHunkParentSelf:
            hunk.kind = kHunkParent;
            hunk.offset = lastParent = n * hunkBytes_ / unitBytes_;
            break;
        case kHunkParent1: lastParent += hunkBytes_ / unitBytes_; [[fallthrough]];
        case kHunkParent0:
            hunk.kind = kHunkParent;
            hunk.offset = lastParent;
            break;
        default: why = "the CHD hunk map names an unknown kind of hunk"; return false;
        }
        uint8_t* r = &raw[n * 12];
        r[0] = hunk.kind;
        bytes::PutBe24(r + 1, hunk.length);
        bytes::PutBe16(r + 4, uint16_t(hunk.offset >> 32));
        bytes::PutBe32(r + 6, uint32_t(hunk.offset));
        bytes::PutBe16(r + 10, hunk.crc);
    }
    if (bits.Overrun() || ChdCrc16(raw.data(), raw.size()) != mapCrc) {
        why = "the CHD hunk map is damaged (its CRC does not match)";
        return false;
    }
    return true;
}

bool ChdFile::ReadMetadata(uint64_t at, std::string& why) {
    for (size_t count = 0; at != 0; ++count) {
        uint8_t h[16];
        if (count >= kMaxMetadataEntries || at > file_->Size() || file_->Size() - at < sizeof h ||
            !file_->ReadAt(at, h, sizeof h)) {
            why = "the CHD metadata is damaged";
            return false;
        }
        const uint32_t length = bytes::GetBe24(h + 5);
        if (length > kMaxMetadataBytes || length > file_->Size() - at - sizeof h) {
            why = "the CHD metadata is damaged";
            return false;
        }
        ChdMetadata entry{GetBe32(h), std::string(length, '\0')};
        if (!file_->ReadAt(at + sizeof h, entry.data.data(), length)) {
            why = "the CHD metadata cannot be read";
            return false;
        }
        metadata_.push_back(std::move(entry));
        at = GetBe64(h + 8);
    }
    return true;
}

void ChdFile::SetAudioFrames(uint64_t first, uint64_t count) { audio_.emplace_back(first, count); }

bool ChdFile::Decode(uint32_t codec, const uint8_t* in, size_t inLength, uint8_t* out) const {
    std::string why;
    if (codec == Tag("zlib")) return chd::Inflate(in, inLength, out, hunkBytes_, why);
    if (codec == Tag("lzma")) return chd::UnpackLzma(in, inLength, out, hunkBytes_, why);
    if (codec == Tag("cdzl") || codec == Tag("cdlz") || codec == Tag("cdfl")) return DecodeCd(codec, in, inLength, out);
    return false;
}

bool ChdFile::DecodeCd(uint32_t codec, const uint8_t* in, size_t inLength, uint8_t* out) const {
    if (hunkBytes_ % kChdFrameBytes != 0) return false;
    const size_t frames = hunkBytes_ / kChdFrameBytes;
    std::vector<uint8_t> sectors(frames * kRawSectorSize), sub(frames * kSubChannelSize);
    std::string why;
    size_t subAt = 0;
    const uint8_t* eccMap = nullptr;
    if (codec == Tag("cdfl")) {
        // The FLAC block: a quarter of the sector bytes, halved down to 2048 samples or fewer.
        uint32_t block = uint32_t(frames * kRawSectorSize / 4);
        while (block > 2048) block /= 2;
        if (!chd::UnpackFlac(in, inLength, block, sectors.data(), sectors.size(), subAt, why)) return false;
    } else {
        // A bit a frame for sectors whose sync and ECC were left out, then
        // the packed length of the sectors (2 or 3 bytes).
        const size_t eccBytes = (frames + 7) / 8;
        const size_t lengthBytes = hunkBytes_ < 65536 ? 2 : 3;
        if (inLength < eccBytes + lengthBytes) return false;
        eccMap = in;
        const size_t base = lengthBytes == 2 ? GetBe16(in + eccBytes) : bytes::GetBe24(in + eccBytes);
        const size_t header = eccBytes + lengthBytes;
        if (base > inLength - header) return false;
        const bool ok = codec == Tag("cdzl") ? chd::Inflate(in + header, base, sectors.data(), sectors.size(), why)
                                             : chd::UnpackLzma(in + header, base, sectors.data(), sectors.size(), why);
        if (!ok) return false;
        subAt = header + base;
    }
    if (!chd::Inflate(in + subAt, inLength - subAt, sub.data(), sub.size(), why)) return false;
    static const uint8_t kSync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    for (size_t f = 0; f < frames; ++f) {
        uint8_t* frame = out + f * kChdFrameBytes;
        std::memcpy(frame, &sectors[f * kRawSectorSize], kRawSectorSize);
        std::memcpy(frame + kRawSectorSize, &sub[f * kSubChannelSize], kSubChannelSize);
        if (eccMap && (eccMap[f / 8] >> (f % 8)) & 1) {
            std::memcpy(frame, kSync, sizeof kSync);
            ComputeEcc(frame, frame[15] == 2);  // Mode 2 parity leaves the header out
        }
    }
    return true;
}

bool ChdFile::UnpackHunk(uint64_t n, uint8_t* out, int depth) const {
    const Hunk& hunk = hunks_[n];
    if (hunk.kind == kHunkCopy) {
        if (hunk.offset == UINT64_MAX) {
            // An uncompressed image's empty map entry: zeros, or with a
            // parent the parent's bytes at the same place.
            std::memset(out, 0, hunkBytes_);
            if (!parent_) return true;
            const uint64_t from = n * hunkBytes_;
            return from < parent_->Size() &&
                   parent_->ReadAt(from, out, size_t(std::min<uint64_t>(hunkBytes_, parent_->Size() - from)));
        }
        // A copy names an earlier hunk; a chain of copies ends soon.
        return hunk.offset < n && depth < 8 && UnpackHunk(hunk.offset, out, depth + 1);
    }
    if (hunk.kind == kHunkParent) {
        // The parent's unpacked bytes from the unit the map names (the
        // parent keeps its own sample order: its audio is not turned).
        if (!parent_ || hunk.offset > parent_->Size() / unitBytes_) return false;
        const uint64_t from = hunk.offset * unitBytes_;
        const uint64_t available = std::min<uint64_t>(hunkBytes_, parent_->Size() - from);
        // The parent's last hunk may reach past its logical end: zeros there.
        std::memset(out + available, 0, hunkBytes_ - available);
        return parent_->ReadAt(from, out, size_t(available));
    }
    if (hunk.length > file_->Size() || hunk.offset > file_->Size() - hunk.length) return false;
    bool ok = false;
    if (hunk.kind == kHunkRaw) {
        ok = hunk.length == hunkBytes_ && file_->ReadAt(hunk.offset, out, hunkBytes_);
    } else if (hunk.kind < 4) {
        std::vector<uint8_t> packed(hunk.length);
        ok = file_->ReadAt(hunk.offset, packed.data(), packed.size()) &&
             Decode(codecs_[hunk.kind], packed.data(), packed.size(), out);
    }
    // Uncompressed images keep no CRC in their map.
    return ok && (codecs_[0] == 0 || ChdCrc16(out, hunkBytes_) == hunk.crc);
}

bool ChdFile::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    if (offset > Size() || length > Size() - offset) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    std::lock_guard lock(cacheLock_);
    while (length > 0) {
        const uint64_t n = offset / hunkBytes_;
        if (cachedHunk_ != int64_t(n)) {
            cache_.resize(hunkBytes_);
            cachedHunk_ = -1;
            if (!UnpackHunk(n, cache_.data(), 0)) return false;
            cachedHunk_ = int64_t(n);
        }
        const size_t within = size_t(offset % hunkBytes_);
        const size_t take = std::min(length, size_t(hunkBytes_) - within);
        std::memcpy(out, cache_.data() + within, take);
        // Audio frames turn back to little-endian samples (frames and
        // hunks start at even offsets, so a sample's two bytes are both here).
        for (size_t i = 0; i < take; ++i) {
            const uint64_t at = offset + i;
            const uint64_t frame = at / kChdFrameBytes;
            if (at % kChdFrameBytes >= kRawSectorSize) continue;
            for (const auto& [first, count] : audio_)
                if (frame >= first && frame - first < count) {
                    out[i] = cache_[(within + i) ^ 1];
                    break;
                }
        }
        out += take;
        offset += take;
        length -= take;
    }
    return true;
}

}  // namespace dravik::vdrive
