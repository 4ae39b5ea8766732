#include "program/readers/udf/udf_file_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "program/readers/udf/udf_file_cursor.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::readers::udf {

namespace {

class UdfFileStream : public scan::FileDataStream {
public:
    UdfFileStream(UdfVolumeMap map, const scan::ReadOneBlock& read) : map_(std::move(map)), read_(read) {}
    ~UdfFileStream() override { CloseUdfFile(cursor_); }

    bool Open(const scan::FoundItem& item, std::uint32_t trackFlags) {
        if (!OpenUdfFile(cursor_, map_, read_, item, trackFlags)) return false;
        left_ = Size();
        return true;
    }
    bool DecompressorMissing() const { return cursor_.decompressorFailed; }

    std::uint64_t Size() const override { return std::min(cursor_.size, kMaxFileBytes); }

    Result Next(std::uint8_t* out, std::size_t& bytes, std::int64_t& block) override {
        const int result = ReadUdfData(cursor_, out);
        block = cursor_.failedBlock;
        if (result == kUdfDataEnded) {
            // Descriptors that end before the file does leave the rest of a
            // plain file as zeros; a compressed file just ends.
            if (cursor_.mode == UdfCursorMode::kDirectCd || left_ == 0) return Result::kEnded;
            std::memset(out, 0, kBlockBytes);
            bytes = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, left_));
        } else {
            bytes = std::min<std::size_t>(cursor_.lastBytes, left_);
        }
        left_ -= bytes;
        return result == kUdfDataError ? Result::kUnreadable : Result::kData;
    }

private:
    UdfVolumeMap map_;
    scan::ReadOneBlock read_;
    UdfFileCursor cursor_;
    std::uint64_t left_ = 0;
};

}  // namespace

std::unique_ptr<scan::FileDataStream> OpenUdfFileStream(const scan::FoundItem* root, const scan::FoundItem* item,
                                                        const scan::ReadOneBlock& read, std::string& error) {
    if (!root || !item || item->fsId == 0) {
        error = "its file entry could not be read";
        return nullptr;
    }
    const std::uint32_t flags = root->track ? root->track->flags : 0;
    auto stream = std::make_unique<UdfFileStream>(LoadVolumeMap(root, read), read);
    if (!stream->Open(*item, flags)) {
        error = stream->DecompressorMissing() ? "its compressed data cannot be expanded without the system's zlib (libz.so.1)"
                                              : "its file entry could not be read";
        return nullptr;
    }
    return stream;
}

}  // namespace dravik::readers::udf
