#include "program/readers/iso9660/zisofs_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/readers/udf/zlib_module.h"

namespace dravik::readers::iso {

namespace {

constexpr std::size_t kHeaderBytes = 16;

class ZisofsStream : public scan::FileDataStream {
public:
    ZisofsStream(scan::ReadOneBlock read, std::int64_t start, std::uint64_t size, const scan::ZisofsLayout& layout)
        : read_(std::move(read)), start_(start), size_(size), stored_(layout.storedSize), layout_(layout) {}

    bool Open(std::string& error) {
        if (zlib_.Load() != udf::ZlibFailure::kNone) {
            error = "its compressed data cannot be expanded without the system's zlib (libz.so.1)";
            return false;
        }
        // The entry's block size is checked again against the file's own
        // header; a header that disagrees or is unreadable makes every
        // block damaged rather than guessing.
        std::uint8_t header[kHeaderBytes];
        const std::uint8_t log2 = layout_.blockLog2;
        headerGood_ = log2 >= kZisofsMinBlockLog2 && log2 <= kZisofsMaxBlockLog2 && Stored(0, kHeaderBytes, header) &&
                      std::memcmp(header, kZisofsMagic, sizeof(kZisofsMagic)) == 0 && header[13] == log2 &&
                      header[12] == layout_.headerSize && bytes::GetLe32(header + 8) == size_;
        // zlib expands at most about a thousandfold: an expanded size far
        // beyond that is damage, not a file.
        headerGood_ = headerGood_ && size_ <= stored_ * 1100 + (std::uint64_t{1} << log2);
        blockBytes_ = std::size_t{1} << std::clamp<std::uint8_t>(log2, kZisofsMinBlockLog2, kZisofsMaxBlockLog2);
        tableAt_ = std::uint64_t{layout_.headerSize} * 4;
        blocks_ = (size_ + blockBytes_ - 1) / blockBytes_;
        return true;
    }

    std::uint64_t Size() const override { return size_; }

    Result Next(std::uint8_t* out, std::size_t& bytes, std::int64_t& block) override {
        bytes = 0;
        if (handed_ >= size_ || ended_) return Result::kEnded;
        // Without a usable header nothing of the file can be trusted: it
        // is reported unreadable once and ends there.
        if (!headerGood_) {
            ended_ = true;
            std::memset(out, 0, kBlockBytes);
            block = start_;
            return Result::kUnreadable;
        }
        if (inBlock_ >= filled_) {
            damaged_ = !Expand(handed_ / blockBytes_);
            inBlock_ = 0;
        }
        bytes = static_cast<std::size_t>(std::min<std::uint64_t>({kBlockBytes, filled_ - inBlock_, size_ - handed_}));
        std::memcpy(out, expanded_.data() + inBlock_, bytes);
        std::memset(out + bytes, 0, kBlockBytes - bytes);
        inBlock_ += bytes;
        handed_ += bytes;
        if (!damaged_) return Result::kData;
        // Every piece of a damaged block is reported at the disc block of
        // its data (the extractor joins them into one range).
        block = damagedAt_;
        return Result::kUnreadable;
    }

private:
    // Bytes of the recorded data, through the block reader; false when the
    // range leaves the data or a block cannot be read.
    bool Stored(std::uint64_t offset, std::size_t length, std::uint8_t* out) {
        if (offset > stored_ || length > stored_ - offset) return false;
        while (length > 0) {
            const std::int64_t block = start_ + static_cast<std::int64_t>(offset / kBlockBytes);
            if (block != cachedBlock_) {
                cache_.resize(kBlockBytes);
                cachedBlock_ = block;
                cachedGood_ = read_(block, cache_.data());
            }
            if (!cachedGood_) return false;
            const std::size_t inside = static_cast<std::size_t>(offset % kBlockBytes);
            const std::size_t take = std::min<std::size_t>(length, kBlockBytes - inside);
            std::memcpy(out, cache_.data() + inside, take);
            out += take;
            offset += take;
            length -= take;
        }
        return true;
    }

    // Fills expanded_ with block `index` of the file; false (zeros filled
    // in) when it cannot be had.
    bool Expand(std::uint64_t index) {
        const std::uint64_t remaining = size_ - index * blockBytes_;
        filled_ = static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes_, remaining));
        expanded_.assign(filled_, 0);
        damagedAt_ = start_ + static_cast<std::int64_t>(std::min<std::uint64_t>(tableAt_ + index * 4, stored_) / kBlockBytes);
        if (!headerGood_ || index >= blocks_) return false;
        std::uint8_t pointers[8];
        if (!Stored(tableAt_ + index * 4, 8, pointers)) return false;
        const std::uint32_t from = bytes::GetLe32(pointers);
        const std::uint32_t to = bytes::GetLe32(pointers + 4);
        damagedAt_ = start_ + from / kBlockBytes;
        if (to < from || to > stored_) return false;
        if (to == from) return true;  // a block of zeros
        // A zlib stream of a block is never much larger than the block.
        const std::size_t length = to - from;
        if (length > blockBytes_ + blockBytes_ / 8 + 64) return false;
        compressed_.resize(length);
        if (!Stored(from, length, compressed_.data())) return false;
        z_stream stream{};
        if (zlib_.InflateInit(stream) != Z_OK) return false;
        stream.next_in = compressed_.data();
        stream.avail_in = static_cast<uInt>(length);
        stream.next_out = expanded_.data();
        stream.avail_out = static_cast<uInt>(filled_);
        const int result = zlib_.Inflate(stream, Z_FINISH);
        const std::size_t produced = filled_ - stream.avail_out;
        zlib_.InflateEnd(stream);
        if (result != Z_STREAM_END || produced != filled_) {
            std::fill(expanded_.begin(), expanded_.end(), 0);
            return false;
        }
        return true;
    }

    scan::ReadOneBlock read_;
    std::int64_t start_;
    std::uint64_t size_;
    std::uint64_t stored_;
    scan::ZisofsLayout layout_;
    udf::ZlibModule zlib_;
    bool headerGood_ = false;
    std::size_t blockBytes_ = 0;
    std::uint64_t tableAt_ = 0;
    std::uint64_t blocks_ = 0;
    std::vector<std::uint8_t> cache_;
    std::int64_t cachedBlock_ = -1;
    bool cachedGood_ = false;
    std::vector<std::uint8_t> compressed_;
    std::vector<std::uint8_t> expanded_;
    std::size_t filled_ = 0;
    std::size_t inBlock_ = 0;
    std::uint64_t handed_ = 0;
    bool damaged_ = false;
    bool ended_ = false;
    std::int64_t damagedAt_ = -1;
};

}  // namespace

std::unique_ptr<scan::FileDataStream> OpenZisofsStream(const scan::ReadOneBlock& read, std::int64_t start,
                                                       std::uint64_t size, const scan::ZisofsLayout& layout,
                                                       std::string& error) {
    auto stream = std::make_unique<ZisofsStream>(read, start, size, layout);
    if (!stream->Open(error)) return nullptr;
    return stream;
}

bool ExpandZisofs(const std::vector<std::uint8_t>& recorded, std::uint64_t size, const scan::ZisofsLayout& layout,
                  std::vector<std::uint8_t>& out, std::string& error) {
    const scan::ReadOneBlock read = [&recorded](std::int64_t block, std::uint8_t* data) {
        const std::uint64_t at = std::uint64_t(block) * kBlockBytes;
        if (block < 0 || at >= recorded.size()) return false;
        std::memset(data, 0, kBlockBytes);
        std::memcpy(data, recorded.data() + at, std::min<std::size_t>(kBlockBytes, recorded.size() - at));
        return true;
    };
    std::unique_ptr<scan::FileDataStream> stream = OpenZisofsStream(read, 0, size, layout, error);
    if (!stream) return false;
    out.clear();
    bool whole = true;
    std::uint8_t buffer[kBlockBytes];
    for (;;) {
        std::size_t bytes = 0;
        std::int64_t block = -1;
        const scan::FileDataStream::Result result = stream->Next(buffer, bytes, block);
        if (result == scan::FileDataStream::Result::kEnded) break;
        if (result == scan::FileDataStream::Result::kUnreadable) whole = false;
        out.insert(out.end(), buffer, buffer + bytes);
    }
    return whole;
}

}  // namespace dravik::readers::iso
