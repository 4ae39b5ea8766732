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
    // An anonymous file in the temporary folder, open for reading and
    // writing, that disappears with its last user: where a recording drive
    // keeps what it wrote. Files opened with Open are read-only, so a
    // recording never changes the images a disc was loaded from.
    static std::shared_ptr<ImageFile> CreateScratch(std::string& errorText);
    virtual ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    const std::string& Path() const { return path_; }
    uint64_t Size() const { return size_; }
    // Reads exactly `length` bytes at `offset`; false on any error or a
    // short read (the file shrank after it was opened).
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t length) const;
    // Writes `length` bytes at `offset` of a scratch file; false on a
    // read-only file or any error.
    bool WriteAt(uint64_t offset, const void* data, size_t length);

protected:
    // `fd` -1: the derived class serves the bytes itself.
    ImageFile(std::string path, int fd, uint64_t size, bool writable = false)
        : path_(std::move(path)), fd_(fd), size_(size), writable_(writable) {}

private:
    std::string path_;
    int fd_;
    uint64_t size_;
    bool writable_;
};

}  // namespace dravik::vdrive
