#include "vdrive/image_file.h"

#include <cerrno>
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

ImageFile::~ImageFile() {
    if (fd_ >= 0) ::close(fd_);
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
