#include "program/readers/udf/udf_directcd_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/byte_order.h"
#include "program/diag/debug_log.h"
#include "program/readers/udf/udf_file_cursor.h"
#include "program/readers/udf/udf_reader.h"

namespace dravik::readers::udf {

namespace {

// The header: "This file" at byte 2, the uncompressed size (64-bit) at 83,
// the header's length (32-bit) at 103, segment entries from 135.
constexpr char kHeaderText[] = "This file";
constexpr std::size_t kHeaderTextAt = 2;
constexpr std::size_t kHeaderSize = 83;
constexpr std::size_t kHeaderLength = 103;
// A segment entry: 0 in its first word marks stored bytes, whose length
// (64-bit) is at 28.
constexpr std::size_t kEntryStoredLength = 28;

}  // namespace

std::unique_ptr<VUVUDADInterface> VUVUDADInterface::Create(UdfFileCursor& cursor, ZlibFailure& failure) {
    std::unique_ptr<VUVUDADInterface> made(new (std::nothrow) VUVUDADInterface(cursor));
    if (!made) {
        failure = ZlibFailure::kNoMemory;
        return nullptr;
    }
    failure = made->Start();
    if (failure != ZlibFailure::kNone) return nullptr;
    if (Verbose())
        diag::DebugPrint("VUVUDAD initialized for %s, uncomp. size=%d, Info=%x", cursor.name.c_str(),
                         static_cast<int>(std::min<std::int64_t>(made->sizeLeft_, kUnknownSize)),
                         static_cast<unsigned>(cursor.entryBlock));
    return made;
}

VUVUDADInterface::VUVUDADInterface(UdfFileCursor& cursor) : cursor_(cursor) {}

VUVUDADInterface::~VUVUDADInterface() {
    EndStream();
    if (Verbose()) diag::DebugPrint("VUVUDAD ended for %s", cursor_.name.c_str());
}

ZlibFailure VUVUDADInterface::Start() {
    if (const ZlibFailure failure = zlib_.Load(); failure != ZlibFailure::kNone) return failure;
    if (!StartStream()) return ZlibFailure::kInitFailed;
    ReadHeader();
    return ZlibFailure::kNone;
}

void VUVUDADInterface::ReadHeader() {
    if (FillInput() != kUdfDataRead) return;  // the size stays unknown
    const std::uint8_t* first = buffer_.data();
    if (std::memcmp(first + kHeaderTextAt, kHeaderText, sizeof kHeaderText - 1) != 0) return;
    // A header is believed only as far as the file's recorded blocks go.
    const std::uint64_t recorded = cursor_.blocksRecorded * kHalf;
    const std::uint64_t size = std::min(bytes::GetLe64(first + kHeaderSize), recorded * kMaxInflateRatio);
    const std::uint64_t length = std::min<std::uint64_t>(
        {bytes::GetLe32(first + kHeaderLength), recorded, std::uint64_t{kMaxDirectCdHeaderBytes}});
    const std::uint64_t blocks = std::max<std::uint64_t>(1, (length + kHalf - 1) / kHalf);
    stream_.avail_in = 0;
    if (size == 0 && length == 0) return;  // the header's block is skipped
    sizeLeft_ = static_cast<std::int64_t>(size);
    cursor_.size = size;
    header_.assign(first, first + kHalf);
    for (std::uint64_t i = 1; i < blocks; ++i) {
        if (FillInput() != kUdfDataRead) break;
        header_.insert(header_.end(), buffer_.begin(), buffer_.begin() + kHalf);
        stream_.avail_in = 0;
    }
    header_.resize(std::min<std::size_t>(header_.size(), length));
    entry_ = kFirstEntry;
    segmentTable_ = EntryPending();
}

bool VUVUDADInterface::StartStream() {
    EndStream();
    stream_ = z_stream{};
    stream_.next_in = buffer_.data();
    stream_.avail_in = 0;
    stream_.next_out = buffer_.data() + kHalf;
    stream_.avail_out = kHalf;
    if (zlib_.InflateInit(stream_) != Z_OK) return false;
    streamOpen_ = true;
    streamEnded_ = false;
    producedInStream_ = false;
    return true;
}

void VUVUDADInterface::EndStream() {
    if (streamOpen_) zlib_.InflateEnd(stream_);
    streamOpen_ = false;
}

bool VUVUDADInterface::EntryStored() const { return bytes::GetLe32(header_.data() + entry_) == 0; }

std::uint64_t VUVUDADInterface::StoredLength() const {
    return std::min(bytes::GetLe64(header_.data() + entry_ + kEntryStoredLength), cursor_.blocksRecorded * kHalf);
}

void VUVUDADInterface::NextEntry() {
    entry_ += kEntryBytes;
    storedStarted_ = false;
}

int VUVUDADInterface::FillInput() {
    // The input half keeps what it held while the stream is fed; a stream
    // that follows another starts on a block of its own.
    std::uint8_t* input = buffer_.data();
    stream_.avail_in = 0;
    const int result = ReadExtentBlock(cursor_, input);
    if (result != kUdfDataRead) return result;
    inputBlock_ = cursor_.currentBlock;
    // ReadExtentBlock leaves the stream's pointers alone; point them at
    // the new block.
    stream_.next_in = input;
    stream_.avail_in = kHalf;
    return kUdfDataRead;
}

// Hands out `bytes` of the output half, the rest of 2048 as zeros.
int VUVUDADInterface::Hand(std::uint8_t* data, std::size_t bytes) {
    std::memcpy(data, buffer_.data() + kHalf, bytes);
    std::memset(data + bytes, 0, kHalf - bytes);
    sizeLeft_ -= static_cast<std::int64_t>(bytes);
    cursor_.lastBytes = bytes;
    stream_.next_out = buffer_.data() + kHalf;
    stream_.avail_out = kHalf;
    return kUdfDataRead;
}

// One block of a stored segment, or of data that were not zlib.
int VUVUDADInterface::ReadStored(std::uint8_t* data) {
    const int result = FillInput();
    stream_.avail_in = 0;
    if (result != kUdfDataRead) return result;
    std::memcpy(data, buffer_.data(), kHalf);
    cursor_.lastBytes = kHalf;
    sizeLeft_ -= static_cast<std::int64_t>(kHalf);
    return kUdfDataRead;
}

int VUVUDADInterface::ReadNextBlock(std::uint8_t* data) {
    cursor_.failedBlock = kNoBlock;
    cursor_.lastBytes = 0;
    if (rawBlocksLeft_ > 0) {
        --rawBlocksLeft_;
        return ReadStored(data);
    }
    while (segmentTable_ && EntryPending() && EntryStored()) {
        if (!storedStarted_) {
            storedStarted_ = true;
            storedLeft_ = StoredLength();
        }
        if (storedLeft_ == 0) {
            NextEntry();
            continue;
        }
        if (sizeLeft_ <= 0) return kUdfDataEnded;
        const int result = ReadStored(data);
        if (result != kUdfDataError) {
            const std::uint64_t bytes = std::min<std::uint64_t>(kHalf, storedLeft_);
            storedLeft_ -= bytes;
            if (result == kUdfDataRead) cursor_.lastBytes = static_cast<std::size_t>(bytes);
            if (storedLeft_ == 0) NextEntry();
        }
        if (result == kUdfDataError) storedLeft_ -= std::min<std::uint64_t>(kHalf, storedLeft_);
        return result;
    }
    if (streamEnded_ && !StartStream()) return kUdfDataError;
    for (;;) {
        const std::size_t produced = kHalf - stream_.avail_out;
        if (stream_.avail_in == 0) {
            const int result = FillInput();
            if (result == kUdfDataEnded && produced > 0) return Hand(data, produced);
            if (result != kUdfDataRead) {
                std::memset(data, 0, kHalf);
                if (result == kUdfDataError) cursor_.lastBytes = kHalf;
                return result;
            }
        }
        const uInt outBefore = stream_.avail_out;
        const int code = zlib_.Inflate(stream_, Z_NO_FLUSH);
        if (stream_.avail_out < outBefore) producedInStream_ = true;
        const std::size_t filled = kHalf - stream_.avail_out;
        if (code == Z_STREAM_END) {
            if (Verbose())
                diag::DebugPrint("Stream end: In: %d %d  Out: %d %d", static_cast<int>(stream_.avail_in),
                                 static_cast<int>(stream_.total_in), static_cast<int>(stream_.avail_out),
                                 static_cast<int>(stream_.total_out));
            EndStream();
            streamEnded_ = true;
            if (segmentTable_) NextEntry();
            const bool storedNext = segmentTable_ && (!EntryPending() || EntryStored());
            if (static_cast<std::int64_t>(filled) >= sizeLeft_ || stream_.avail_out == 0 || storedNext)
                return Hand(data, filled);
            // The next stream starts on the next block and goes on filling
            // this output block.
            const std::size_t keep = filled;
            if (!StartStream()) return kUdfDataError;
            stream_.next_out = buffer_.data() + kHalf + keep;
            stream_.avail_out = static_cast<uInt>(kHalf - keep);
            continue;
        }
        if (stream_.avail_out == 0) return Hand(data, kHalf);
        if (code == Z_OK || (code == Z_BUF_ERROR && stream_.avail_in == 0)) continue;
        // Not zlib data: when the stream gave nothing yet, the block and the
        // ones after it are data stored as they are.
        if (!producedInStream_ && !segmentTable_ && filled == 0) {
            std::memcpy(data, buffer_.data(), kHalf);
            stream_.avail_in = 0;
            rawBlocksLeft_ = kStoredRunBlocks - 1;
            EndStream();
            streamEnded_ = true;
            cursor_.lastBytes = kHalf;
            sizeLeft_ -= static_cast<std::int64_t>(kHalf);
            return kUdfDataRead;
        }
        // Zeros in place of a block of output, so what follows keeps its place.
        cursor_.failedBlock = inputBlock_;
        cursor_.lastBytes = kHalf;
        sizeLeft_ -= static_cast<std::int64_t>(kHalf);
        std::memset(data, 0, kHalf);
        stream_.next_out = buffer_.data() + kHalf;
        stream_.avail_out = kHalf;
        stream_.avail_in = 0;
        return kUdfDataError;
    }
}

}  // namespace dravik::readers::udf
