// A file that holds blocks of a disc, opened once and shared by every area
// that reads from it. Reads use pread, so one open file serves all threads.
// Compressed containers derive from it and serve their unpacked bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace dravik::vdrive {

class ImageFile {
public:
    // Opens `path` for reading; on failure returns null and sets `errorText`.
    static std::shared_ptr<ImageFile> Open(const std::string& path, std::string& errorText);
    virtual ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    const std::string& Path() const { return path_; }
    uint64_t Size() const { return size_; }
    // Reads exactly `length` bytes at `offset`; false on any error or a
    // short read (the file shrank after it was opened).
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t length) const;

protected:
    // `fd` -1: the derived class serves the bytes itself.
    ImageFile(std::string path, int fd, uint64_t size) : path_(std::move(path)), fd_(fd), size_(size) {}

private:
    std::string path_;
    int fd_;
    uint64_t size_;
};

}  // namespace dravik::vdrive
