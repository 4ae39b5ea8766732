#include "program/extract/output_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

#include "program/extract/test_seams.h"

namespace dravik::extract {

namespace {

test_seams::OutputFaultHook& FaultHook() {
    static test_seams::OutputFaultHook hook;
    return hook;
}

int Fault(std::string_view stage, std::uint64_t written) {
    return FaultHook() ? FaultHook()(stage, written) : 0;
}

// Creates `path` and its missing parents, as mkdir -p does.
int MakeFolders(const std::string& path) {
    if (path.empty()) return ENOENT;
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return errno;
        if (slash == std::string::npos) return 0;
    }
}

}  // namespace

void test_seams::SetOutputFaultHook(OutputFaultHook hook) { FaultHook() = std::move(hook); }

FolderHandle::~FolderHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int FolderHandle::OpenTarget(const std::string& path, FolderHandle& out) {
    // The target itself is the user's choice and may be reached through a link.
    if (const int error = MakeFolders(path)) return error;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    out = FolderHandle(fd);
    return 0;
}

int FolderHandle::OpenChild(const std::string& name, FolderHandle& out, bool& created) const {
    created = false;
    if (::mkdirat(fd_, name.c_str(), 0777) == 0) created = true;
    else if (errno != EEXIST) return errno;
    const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? ENOTDIR : errno;
    out = FolderHandle(fd);
    return 0;
}

bool FolderHandle::Has(const std::string& name) const {
    struct stat info {};
    return ::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

int FolderHandle::SetTimes(const std::string& name, std::time_t when) const {
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    return ::utimensat(fd_, name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int FolderHandle::MakeLink(const std::string& name, const std::string& target, bool overwrite) const {
    if (::symlinkat(target.c_str(), fd_, name.c_str()) == 0) return 0;
    if (errno != EEXIST || !overwrite) return errno;
    struct stat info {};
    if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) return EEXIST;
    if (::unlinkat(fd_, name.c_str(), 0) != 0) return errno;
    return ::symlinkat(target.c_str(), fd_, name.c_str()) == 0 ? 0 : errno;
}

PartFile::~PartFile() { Discard(); }

int PartFile::Create(const FolderHandle& folder) {
    Discard();
    if (const int error = Fault("create", 0)) return error;
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".dravik-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".part";
        const int fd = ::openat(folder.fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            folder_ = &folder;
            fd_ = fd;
            tempName_ = std::move(name);
            written_ = 0;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int PartFile::Write(const std::uint8_t* data, std::size_t length) {
    if (fd_ < 0) return EBADF;
    if (const int error = Fault("write", written_)) return error;
    while (length > 0) {
        const ssize_t done = ::write(fd_, data, length);
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += done;
        length -= static_cast<std::size_t>(done);
        written_ += static_cast<std::uint64_t>(done);
    }
    return 0;
}

int PartFile::Commit(const std::string& name, bool overwrite, std::optional<std::time_t> when) {
    if (fd_ < 0) return EBADF;
    if (const int error = Fault("commit", written_)) return error;
    if (::fsync(fd_) != 0) return errno;
    if (when) {
        const struct timespec times[2] = {{*when, 0}, {*when, 0}};
        if (::futimens(fd_, times) != 0) return errno;
    }
    if (::close(std::exchange(fd_, -1)) != 0) return errno;
    const unsigned flags = overwrite ? 0 : RENAME_NOREPLACE;
    if (::renameat2(folder_->fd(), tempName_.c_str(), folder_->fd(), name.c_str(), flags) != 0) return errno;
    tempName_.clear();
    folder_ = nullptr;
    return 0;
}

void PartFile::Discard() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (folder_ && !tempName_.empty()) ::unlinkat(folder_->fd(), tempName_.c_str(), 0);
    tempName_.clear();
    folder_ = nullptr;
}

}  // namespace dravik::extract
