#include "vdrive/image_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dravik::vdrive {

std::shared_ptr<ImageFile> ImageFile::Open(const std::string& path, std::string& errorText) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        errorText = "cannot open '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        errorText = "'" + path + "' is not a regular file";
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<ImageFile>(new ImageFile(path, fd, uint64_t(st.st_size)));
}

std::shared_ptr<ImageFile> ImageFile::CreateScratch(std::string& errorText) {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/dravik-recording-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        errorText = "cannot create a scratch file: " + std::string(std::strerror(errno));
        return nullptr;
    }
    ::unlink(pattern.c_str());
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return std::shared_ptr<ImageFile>(new ImageFile("(recorded data)", fd, 0, true));
}

ImageFile::~ImageFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool ImageFile::WriteAt(uint64_t offset, const void* data, size_t length) {
    if (!writable_) return false;
    const auto* in = static_cast<const uint8_t*>(data);
    uint64_t at = offset;
    size_t left = length;
    while (left > 0) {
        ssize_t n = ::pwrite(fd_, in, left, off_t(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        in += n;
        at += uint64_t(n);
        left -= size_t(n);
    }
    if (at > size_) size_ = at;
    return true;
}

bool ImageFile::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    auto* out = static_cast<uint8_t*>(buffer);
    while (length > 0) {
        ssize_t n = ::pread(fd_, out, length, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        offset += uint64_t(n);
        length -= size_t(n);
    }
    return true;
}

}  // namespace dravik::vdrive
