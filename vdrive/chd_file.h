// MAME's compressed hunk format (.chd, version 5, as chdman writes it):
// the file's logical bytes cut into hunks, each stored raw, compressed by
// one of up to four codecs, or as a copy of an earlier hunk, found through
// the hunk map (itself Huffman-coded). A CD image holds frames of 2448
// bytes: 2352 of sector and 96 of sub-channel; its codecs "cdzl", "cdlz"
// and "cdfl" pack the sectors with deflate, LZMA or FLAC and the
// sub-channel with deflate, and may leave out sync and ECC of Mode 1
// sectors, which reading puts back.
//
// ChdFile serves the logical bytes as an ImageFile, so areas of a disc
// read from it as from a plain file. Audio is stored with big-endian
// samples; the frames of audio tracks (SetAudioFrames) are served turned
// back to the little-endian order of a cue image.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vdrive/image_file.h"

namespace dravik::vdrive {

inline constexpr uint32_t kChdFrameBytes = 2448;

struct ChdMetadata {
    uint32_t tag = 0;  // four characters, big-endian
    std::string data;
};

class ChdFile final : public ImageFile {
public:
    // Reads the header, the hunk map and the metadata; null with `why`
    // when the file is not a CHD of version 5 or is damaged. An image made
    // as the difference to a parent image (chdman -op) opens its parent too:
    // the CHD file in the same folder whose SHA-1 the image names.
    static std::shared_ptr<ChdFile> Open(const std::string& path, std::string& why) { return Open(path, why, 0); }

    bool ReadAt(uint64_t offset, void* buffer, size_t length) const override;

    uint32_t HunkBytes() const { return hunkBytes_; }
    uint32_t UnitBytes() const { return unitBytes_; }
    const std::vector<ChdMetadata>& Metadata() const { return metadata_; }
    // Frames [first, first + count) hold audio.
    void SetAudioFrames(uint64_t first, uint64_t count);

    struct Hunk {
        uint8_t kind = 0;  // codec 0-3, or one of the kinds in chd_file.cpp
        uint32_t length = 0;
        uint64_t offset = 0;  // in the file; for a copy, the hunk copied
        uint16_t crc = 0;
    };

private:
    static std::shared_ptr<ChdFile> Open(const std::string& path, std::string& why, int depth);
    bool OpenParent(const uint8_t* parentSha1, int depth, std::string& why);
    ChdFile(std::string path, std::shared_ptr<ImageFile> file, uint64_t logicalBytes)
        : ImageFile(std::move(path), -1, logicalBytes), file_(std::move(file)) {}
    bool ReadHeader(std::string& why);
    bool ReadMap(uint64_t mapOffset, std::string& why);
    bool ReadMetadata(uint64_t metaOffset, std::string& why);
    // Unpacks hunk `n` into `out` (HunkBytes() bytes).
    bool UnpackHunk(uint64_t n, uint8_t* out, int depth) const;
    bool Decode(uint32_t codec, const uint8_t* in, size_t inLength, uint8_t* out) const;
    bool DecodeCd(uint32_t codec, const uint8_t* in, size_t inLength, uint8_t* out) const;

    std::shared_ptr<ImageFile> file_;
    std::shared_ptr<ChdFile> parent_;  // the image whose hunks "parent" hunks name
    uint32_t codecs_[4] = {};
    uint32_t hunkBytes_ = 0, unitBytes_ = 0;
    std::vector<Hunk> hunks_;
    std::vector<ChdMetadata> metadata_;
    std::vector<std::pair<uint64_t, uint64_t>> audio_;  // frame ranges

    mutable std::mutex cacheLock_;
    mutable int64_t cachedHunk_ = -1;
    mutable std::vector<uint8_t> cache_;
};

// CRC-16 of the hunk map and of each hunk (x^16+x^12+x^5+1, start 0xFFFF).
uint16_t ChdCrc16(const uint8_t* data, size_t length);

}  // namespace dravik::vdrive
