// The decompressor of DirectCD-compressed files. Their data are zlib
// streams, one after another, each starting on a block of its own; a file
// may begin with a "This file" header that gives the uncompressed size and
// a table of segments, each either one zlib stream or bytes stored as they
// are. Data that are not zlib at all (software that stored a chunk it could
// not compress) are handed out unchanged, 32 blocks at a time. Inflating is
// done by the system's zlib, loaded when a decompressor is made.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "program/readers/udf/zlib_module.h"

namespace dravik::readers::udf {

struct UdfFileCursor;

// Limits of what a header may make the decompressor do.
constexpr std::uint32_t kMaxDirectCdHeaderBytes = 64 * 1024;
// Deflate expands at most 1032 times: a size beyond that of the recorded
// blocks is not believed.
constexpr std::uint64_t kMaxInflateRatio = 1032;
// Blocks handed out unchanged when a stream turns out not to be zlib data.
constexpr int kStoredRunBlocks = 32;
// The size of a file without a header.
constexpr std::int64_t kUnknownSize = 0x7FFFFFFF;

class VUVUDADInterface {
public:
    // Loads zlib and reads the file's first block (and its header). Null,
    // with the reason in `failure`, when zlib cannot be used.
    static std::unique_ptr<VUVUDADInterface> Create(UdfFileCursor& cursor, ZlibFailure& failure);
    ~VUVUDADInterface();
    VUVUDADInterface(const VUVUDADInterface&) = delete;
    VUVUDADInterface& operator=(const VUVUDADInterface&) = delete;

    // The next 2048 bytes of uncompressed data, with ReadUdfData's results.
    int ReadNextBlock(std::uint8_t* data);
    // Reads the next block of compressed data into the input half; the
    // results of ReadExtentBlock.
    int FillInput();

    // Bytes of data not yet handed out (kUnknownSize counted down when the
    // file has no header).
    std::int64_t SizeLeft() const { return sizeLeft_; }

private:
    explicit VUVUDADInterface(UdfFileCursor& cursor);
    ZlibFailure Start();
    void ReadHeader();
    bool StartStream();
    void EndStream();
    bool EntryPending() const { return entry_ + kEntryBytes <= header_.size(); }
    bool EntryStored() const;
    std::uint64_t StoredLength() const;
    void NextEntry();
    int Hand(std::uint8_t* data, std::size_t bytes);
    int ReadStored(std::uint8_t* data);

    static constexpr std::size_t kHalf = 2048;
    static constexpr std::size_t kFirstEntry = 135;
    static constexpr std::size_t kEntryBytes = 44;

    UdfFileCursor& cursor_;
    ZlibModule zlib_;
    z_stream stream_{};
    bool streamOpen_ = false;
    bool streamEnded_ = false;
    bool producedInStream_ = false;
    // Input half, then output half.
    std::array<std::uint8_t, 2 * kHalf> buffer_{};
    std::vector<std::uint8_t> header_;
    std::size_t entry_ = 0;          // header offset of the pending segment entry
    bool segmentTable_ = false;
    bool storedStarted_ = false;
    std::uint64_t storedLeft_ = 0;   // bytes of the current stored segment
    int rawBlocksLeft_ = 0;          // blocks still handed out unchanged
    std::int64_t sizeLeft_ = kUnknownSize;
    std::int64_t inputBlock_ = -1;   // the block the input half holds
};

}  // namespace dravik::readers::udf
